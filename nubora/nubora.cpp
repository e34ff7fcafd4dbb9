#include "nubora.h"

#include <fstream>

#include <QDebug>

#include "builtin_config.h"
#include "diagnostics.h"
#include "object_client.h"

namespace {

constexpr std::size_t kContentBufferSize = 256;

bool libraryStarted = false;
char contentBuffer[kContentBufferSize] = {};

nubora::FetchOutcome fetch(const char *endpoint, const char *accessKeyId, const char *accessKeySecret,
                           const nubora::GetObjectRequest &request)
{
    nubora::ObjectClient client(endpoint, accessKeyId, accessKeySecret, nubora::TransportSettings());
    return client.getObject(request);
}

void logFailure(const nubora::RequestError &error)
{
    qDebug().nospace().noquote() << "getObjectToBuffer fail" << ",code:" << error.code.c_str()
                                 << ",message:" << error.message.c_str() << ",requestId:" << error.requestId.c_str();
}

std::string textOrEmpty(const char *text)
{
    return text ? text : "";
}

}

static_assert(sizeof(Nubora) == 8 * sizeof(void *), "the caller allocates Nubora: eight pointer-sized fields");

Nubora::Nubora()
    : accessKeyId_(nubora::configuredAccessKeyId()), accessKeySecret_(nubora::configuredAccessKeySecret()),
      endpoint_(nubora::configuredEndpoint()), bucketName_(nullptr), versionPath_(nullptr), appPath_(nullptr),
      processCallback_(nullptr), processUserData_(nullptr)
{
    if (!libraryStarted) {
        nubora::startDiagnostics();
        curl_global_init(CURL_GLOBAL_ALL);
        libraryStarted = true;
    }
}

Nubora::~Nubora()
{
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

char *Nubora::download2Mem(char *objectKey)
{
    nubora::GetObjectRequest request(textOrEmpty(bucketName_), textOrEmpty(objectKey));
    // Only what fits the buffer with its terminator is ever returned.
    request.setStoredBodyLimit(kContentBufferSize - 1);
    const nubora::FetchOutcome outcome = fetch(endpoint_, accessKeyId_, accessKeySecret_, request);
    if (!outcome.success) {
        logFailure(outcome.error);
        return nullptr;
    }

    std::iostream &content = *outcome.result.content;
    content.seekg(0, std::ios::beg);
    content.read(contentBuffer, kContentBufferSize - 1);
    contentBuffer[content.gcount()] = '\0';
    return contentBuffer;
}

int Nubora::downloadFile(char *objectKey, char *filePath)
{
    nubora::GetObjectRequest request(textOrEmpty(bucketName_), textOrEmpty(objectKey));
    const std::string path = textOrEmpty(filePath);
    request.setResponseStreamFactory([path] {
        return std::make_shared<std::fstream>(path, std::ios::in | std::ios::out | std::ios::binary | std::ios::trunc);
    });
    if (processCallback_) {
        const ProcessCallback callback = processCallback_;
        void *const userData = processUserData_;
        request.setProgressHandler([callback, userData](std::uint64_t block, std::int64_t soFar, std::int64_t total) {
            callback(static_cast<std::uint32_t>(block), soFar, total, userData);
        });
    }

    const nubora::FetchOutcome outcome = fetch(endpoint_, accessKeyId_, accessKeySecret_, request);
    if (!outcome.success) {
        logFailure(outcome.error);
        return -1;
    }
    qDebug() << "GetObjectToFile success" << static_cast<qint64>(outcome.result.contentLength());
    return 0;
}

OssServer::OssServer(const OssServer &other) = default;
OssServer &OssServer::operator=(const OssServer &other) = default;
