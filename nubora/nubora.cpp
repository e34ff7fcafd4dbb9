#include "nubora.h"

#include <fstream>
#include <map>
#include <mutex>

#include <QDebug>

#include "builtin_config.h"
#include "diagnostics.h"
#include "object_client.h"

namespace {

constexpr std::size_t kContentBufferSize = 256;

bool libraryStarted = false;
char contentBuffer[kContentBufferSize] = {};

std::mutex limitsMutex;
Nubora::Limits currentLimits;

// The caller owns the object's layout, so what the object keeps beyond it lives
// here, by the object's address: whether it was cancelled, the transport it runs
// now, and why its latest call failed.
struct ObjectState
{
    bool cancelled = false;
    nubora::HttpClient *active = nullptr;
    Nubora::Failure failure;
};
std::mutex statesMutex;
std::map<const Nubora *, ObjectState> states;

// Makes one download's transport reachable by cancel() while it runs.
class ActiveDownload
{
public:
    ActiveDownload(const Nubora *owner, nubora::HttpClient &transport)
        : owner_(owner)
    {
        std::lock_guard<std::mutex> lock(statesMutex);
        ObjectState &entry = states[owner];
        entry.active = &transport;
        if (entry.cancelled)
            transport.disable();
    }
    ~ActiveDownload()
    {
        std::lock_guard<std::mutex> lock(statesMutex);
        states[owner_].active = nullptr;
    }
    ActiveDownload(const ActiveDownload &) = delete;
    ActiveDownload &operator=(const ActiveDownload &) = delete;

private:
    const Nubora *owner_;
};

struct Endpoint
{
    const char *url;
    const char *accessKeyId;
    const char *accessKeySecret;
};

nubora::FetchOutcome fetch(const Nubora *owner,
                           const Endpoint &endpoint,
                           const nubora::GetObjectRequest &request,
                           std::int64_t timeLimitMs)
{
    const Nubora::Limits limits = Nubora::limits();
    nubora::TransportSettings settings;
    settings.requestTimeoutMs = static_cast<long>(timeLimitMs);
    settings.stallWindowMs = static_cast<long>(limits.stallWindowMs);
    nubora::ObjectClient client(
            endpoint.url, endpoint.accessKeyId, endpoint.accessKeySecret, settings);
    const ActiveDownload active(owner, client.transport());
    return client.getObject(request);
}

void logFailure(const nubora::RequestError &error)
{
    qDebug().nospace().noquote() << "getObjectToBuffer fail"
                                 << ",code:" << error.code.c_str()
                                 << ",message:" << error.message.c_str()
                                 << ",requestId:" << error.requestId.c_str();
}

// Every call ends here: a failure is logged and kept for lastFailure(), a success clears it.
void recordOutcome(const Nubora *owner, const nubora::FetchOutcome &outcome)
{
    Nubora::Failure failure;
    if (!outcome.success) {
        const nubora::RequestError &error = outcome.error;
        // Other statuses are the library's own and already named by the code.
        failure.httpStatus = error.status >= 100 && error.status <= 599 ? error.status : 0;
        failure.code = error.code;
        failure.message = error.message;
        logFailure(error);
    }
    std::lock_guard<std::mutex> lock(statesMutex);
    states[owner].failure = std::move(failure);
}

std::string textOrEmpty(const char *text)
{
    return text ? text : "";
}

// At most `capacity` bytes of the object's start into `buffer`; -1 after logging a failure.
std::int64_t fetchIntoBuffer(const Nubora *owner,
                             const Endpoint &endpoint,
                             const char *bucket,
                             const char *key,
                             std::int64_t maxBytes,
                             char *buffer,
                             std::int64_t capacity)
{
    nubora::GetObjectRequest request(textOrEmpty(bucket), textOrEmpty(key));
    request.setMaxBodyBytes(maxBytes);
    const nubora::FetchOutcome outcome
            = fetch(owner, endpoint, request, Nubora::limits().textTimeLimitMs);
    recordOutcome(owner, outcome);
    if (!outcome.success)
        return -1;
    std::iostream &content = *outcome.result.content;
    content.seekg(0, std::ios::beg);
    content.read(buffer, static_cast<std::streamsize>(capacity));
    return content.gcount();
}

} // namespace

static_assert(sizeof(Nubora) == 8 * sizeof(void *),
              "the caller allocates Nubora: eight pointer-sized fields");

Nubora::Nubora()
    : accessKeyId_(nubora::configuredAccessKeyId())
    , accessKeySecret_(nubora::configuredAccessKeySecret())
    , endpoint_(nubora::configuredEndpoint())
    , bucketName_(nullptr)
    , versionPath_(nullptr)
    , appPath_(nullptr)
    , processCallback_(nullptr)
    , processUserData_(nullptr)
{
    if (!libraryStarted) {
        nubora::startDiagnostics();
        curl_global_init(CURL_GLOBAL_ALL);
        libraryStarted = true;
    }
}

Nubora::~Nubora()
{
    {
        std::lock_guard<std::mutex> lock(statesMutex);
        states.erase(this);
    }
    if (libraryStarted) {
        curl_global_cleanup();
        nubora::stopDiagnostics();
        libraryStarted = false;
    }
}

Nubora &Nubora::operator=(const Nubora &other)
{
    accessKeyId_ = other.accessKeyId_;
    accessKeySecret_ = other.accessKeySecret_;
    endpoint_ = other.endpoint_;
    bucketName_ = other.bucketName_;
    versionPath_ = other.versionPath_;
    appPath_ = other.appPath_;
    processCallback_ = other.processCallback_;
    processUserData_ = other.processUserData_;
    return *this;
}

void Nubora::setBucketName(char *bucketName)
{
    bucketName_ = bucketName;
}

void Nubora::setVersionPath(char *versionPath)
{
    versionPath_ = versionPath;
}

void Nubora::setAppPath(char *appPath)
{
    appPath_ = appPath;
}

void Nubora::setProcessCallback(ProcessCallback callback, void *userData)
{
    processCallback_ = callback;
    processUserData_ = userData;
}

Nubora::Limits Nubora::limits()
{
    std::lock_guard<std::mutex> lock(limitsMutex);
    return currentLimits;
}

void Nubora::setLimits(const Limits &limits)
{
    std::lock_guard<std::mutex> lock(limitsMutex);
    currentLimits = limits;
}

char *Nubora::download2Mem(char *objectKey)
{
    // Only what fits the buffer with its terminator is ever returned.
    const std::int64_t length = fetchIntoBuffer(this,
                                                {endpoint_, accessKeyId_, accessKeySecret_},
                                                bucketName_,
                                                objectKey,
                                                kTextTransferLimit,
                                                contentBuffer,
                                                kContentBufferSize - 1);
    if (length < 0)
        return nullptr;
    contentBuffer[length] = '\0';
    return contentBuffer;
}

std::int64_t Nubora::download2Buffer(char *objectKey, char *buffer, std::int64_t capacity)
{
    if (!buffer || capacity < 0) {
        nubora::FetchOutcome refused;
        refused.error.code = "ValidateError";
        refused.error.message = "There is no buffer to download into.";
        recordOutcome(this, refused);
        return -1;
    }
    return fetchIntoBuffer(this,
                           {endpoint_, accessKeyId_, accessKeySecret_},
                           bucketName_,
                           objectKey,
                           capacity,
                           buffer,
                           capacity);
}

int Nubora::downloadFile(char *objectKey, char *filePath)
{
    return downloadFile(objectKey, filePath, FileRules());
}

int Nubora::downloadFile(char *objectKey, char *filePath, const FileRules &rules)
{
    nubora::GetObjectRequest request(textOrEmpty(bucketName_), textOrEmpty(objectKey));
    request.setMaxBodyBytes(rules.maxBytes);
    request.setContentRequired(rules.contentRequired);
    request.setChecksumRequired(rules.checksumRequired);
    const std::string path = textOrEmpty(filePath);
    // Kept here as well, so that the file's closing can be checked.
    auto file = std::make_shared<std::shared_ptr<std::fstream>>();
    request.setResponseStreamFactory([path, file] {
        *file = std::make_shared<std::fstream>(
                path, std::ios::in | std::ios::out | std::ios::binary | std::ios::trunc);
        return *file;
    });
    if (processCallback_) {
        const ProcessCallback callback = processCallback_;
        void *const userData = processUserData_;
        request.setProgressHandler(
                [callback, userData](std::uint64_t block, std::int64_t soFar, std::int64_t total) {
                    callback(static_cast<std::uint32_t>(block), soFar, total, userData);
                });
    }

    nubora::FetchOutcome outcome = fetch(
            this, {endpoint_, accessKeyId_, accessKeySecret_}, request, limits().fileTimeLimitMs);
    if (outcome.success && *file) {
        (*file)->close();
        if ((*file)->fail()) {
            outcome.success = false;
            outcome.error.code = "ClientError:200023";
            outcome.error.message = "The file could not be closed: " + path;
        }
    }
    recordOutcome(this, outcome);
    if (!outcome.success)
        return -1;
    qDebug() << "GetObjectToFile success" << static_cast<qint64>(outcome.result.contentLength());
    return 0;
}

void Nubora::cancel()
{
    std::lock_guard<std::mutex> lock(statesMutex);
    ObjectState &entry = states[this];
    entry.cancelled = true;
    if (entry.active)
        entry.active->disable();
}

Nubora::Failure Nubora::lastFailure() const
{
    std::lock_guard<std::mutex> lock(statesMutex);
    const auto found = states.find(this);
    return found == states.end() ? Failure() : found->second.failure;
}

OssServer::OssServer(const OssServer &other) = default;
OssServer &OssServer::operator=(const OssServer &other) = default;
