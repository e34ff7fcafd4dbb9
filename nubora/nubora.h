#pragma once

#include <cstdint>
#include <string>

#if defined(_WIN32)
#if defined(NUBORA_BUILD_LIBRARY)
#define NUBORA_EXPORT __declspec(dllexport)
#else
#define NUBORA_EXPORT __declspec(dllimport)
#endif
#else
#define NUBORA_EXPORT __attribute__((visibility("default")))
#endif

// Downloads objects of one bucket from the built-in object store endpoint.
// Every call runs synchronously on the caller's thread. Texts handed to the
// setters are not copied and must outlive the object's use. Library start-up
// and clean-up are process-wide: keep at most one object alive at a time.
class NUBORA_EXPORT Nubora
{
public:
    // (bytes in the block just written, bytes so far in this attempt,
    //  expected total or 0 when unknown, user data)
    using ProcessCallback = void (*)(std::uint32_t blockBytes,
                                     std::int64_t bytesSoFar,
                                     std::int64_t bytesTotal,
                                     void *userData);

    // Bounds of every attempt, process-wide. An attempt ends after its time
    // limit, or when less than a byte a second arrives for the stall window.
    struct Limits
    {
        std::int64_t textTimeLimitMs = 60 * 1000;      // download2Mem, download2Buffer
        std::int64_t fileTimeLimitMs = 30 * 60 * 1000; // downloadFile
        std::int64_t stallWindowMs = 5000;
    };
    static Limits limits();
    static void setLimits(const Limits &limits);

    // downloadFile stops and fails past this unless its rules allow more, so a
    // hostile or broken answer cannot fill the disk.
    static constexpr std::int64_t kFileTransferLimit = std::int64_t(256) << 20;

    // What a file download must get to succeed.
    struct FileRules
    {
        // A longer object ends the transfer as a failure; raise it for larger objects.
        std::int64_t maxBytes = kFileTransferLimit;
        bool contentRequired = false;  // an empty object fails
        bool checksumRequired = false; // so does an answer without the store's CRC-64
    };

    // download2Mem stops and fails past this; a version text is a few bytes.
    static constexpr std::int64_t kTextTransferLimit = 64 * 1024;

    Nubora();
    ~Nubora();
    Nubora &operator=(const Nubora &other);

    void setBucketName(char *bucketName);
    void setVersionPath(char *versionPath);
    void setAppPath(char *appPath);
    void setProcessCallback(ProcessCallback callback, void *userData);

    // The object as NUL-terminated text (at most 255 bytes of it) in a buffer
    // owned by the library and valid until the next call; null on failure.
    char *download2Mem(char *objectKey);
    // The whole object into the caller's buffer: its length, or -1 on failure
    // and for an object longer than the capacity.
    std::int64_t download2Buffer(char *objectKey, char *buffer, std::int64_t capacity);
    // 0 on success, -1 on failure. The file is created or emptied only when the
    // object's first byte arrives; 0 also means the file was written and closed.
    int downloadFile(char *objectKey, char *filePath);
    int downloadFile(char *objectKey, char *filePath, const FileRules &rules);

    // Ends this object's download under way, and every later one, at once.
    // Safe from any thread while the object lives.
    void cancel();

    // Why a download failed, in the words of whoever found out.
    struct Failure
    {
        int httpStatus = 0;  // of the answer that ended it; 0 when that was no HTTP error
        std::string code;    // the store's error code, or the library's
        std::string message; // the store's message, libcurl's, or the library's
    };
    // Of this object's latest download call; empty after a success.
    Failure lastFailure() const;

private:
    // The caller allocates the object, so these eight fields are its layout.
    const char *accessKeyId_;
    const char *accessKeySecret_;
    const char *endpoint_;
    const char *bucketName_;
    const char *versionPath_;
    const char *appPath_;
    ProcessCallback processCallback_;
    void *processUserData_;
};

// A plain record of six texts; copying is its only operation.
class NUBORA_EXPORT OssServer
{
public:
    OssServer(const OssServer &other);
    OssServer &operator=(const OssServer &other);

    std::string endpoint;
    std::string accessKeyId;
    std::string accessKeySecret;
    std::string bucketName;
    std::string versionPath;
    std::string appPath;
};
