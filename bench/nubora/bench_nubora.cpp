// Download throughput against the curl command-line tool on the same loopback
// server, peak memory, and CRC-64 speed against liblzma.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <lzma.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include "crc64.h"
#include "fake_object_store.h"
#include "nubora.h"

namespace {

constexpr std::int64_t kObjectBytes = std::int64_t(1) << 30;
constexpr std::size_t kCrcBufferBytes = std::size_t(256) << 20;
constexpr int kRounds = 2;

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

long peakResidentKiB()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

void ignoreDebugOutput(QtMsgType, const QMessageLogContext &, const QString &) {}

double timeLibraryDownload(const std::string &path)
{
    char bucket[] = "ambrel";
    char key[] = "Morvane/ZARK/Custom/Tevrano/DUNE_release_win32.exe";
    std::string target = path;
    Nubora nubora;
    nubora.setBucketName(bucket);
    // As the update fetches its installer: size-limited, content and checksum required.
    Nubora::FileRules rules;
    rules.maxBytes = kObjectBytes;
    rules.contentRequired = true;
    rules.checksumRequired = true;
    const auto start = std::chrono::steady_clock::now();
    const int result = nubora.downloadFile(key, target.data(), rules);
    const double seconds = secondsSince(start);
    if (result != 0) {
        std::fprintf(stderr, "library download failed\n");
        std::exit(1);
    }
    return seconds;
}

double timeCurlDownload(const std::string &url, const std::string &path)
{
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execlp("curl",
               "curl",
               "-s",
               "-f",
               "-o",
               path.c_str(),
               url.c_str(),
               static_cast<char *>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    const double seconds = secondsSince(start);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "curl failed\n");
        std::exit(1);
    }
    return seconds;
}

template<typename Checksum>
double
bestCrcSeconds(const std::vector<unsigned char> &buffer, Checksum checksum, std::uint64_t &result)
{
    double best = 1e9;
    for (int round = 0; round < 3; ++round) {
        const auto start = std::chrono::steady_clock::now();
        result = checksum(buffer.data(), buffer.size());
        best = std::min(best, secondsSince(start));
    }
    return best;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    qInstallMessageHandler(ignoreDebugOutput);

    QTemporaryDir directory;
    fakestore::FakeObjectStore store("BenchKeyId00000000000000", "BenchSecret0000000000000000000");
    store.setVerifying(false); // the curl tool sends no signature
    const std::string crc = std::to_string(fakestore::patternCrc64(kObjectBytes));
    store.setHandler([&crc](const fakestore::ReceivedRequest &, int) {
        fakestore::Reply reply;
        reply.generatedLength = kObjectBytes;
        reply.crc64Override = crc;
        return reply;
    });
    setenv("NUBORA_ENDPOINT", store.endpoint().c_str(), 1);
    setenv("NUBORA_ACCESS_KEY_ID", "BenchKeyId00000000000000", 1);
    setenv("NUBORA_ACCESS_KEY_SECRET", "BenchSecret0000000000000000000", 1);

    const std::string libraryPath = directory.filePath("library.bin").toStdString();
    const std::string curlPath = directory.filePath("curl.bin").toStdString();
    const std::string url = store.endpoint()
                            + "/ambrel/Morvane%2FZARK%2FCustom%2FTevrano%2FDUNE_release_win32.exe";

    const long residentBefore = peakResidentKiB();
    double bestLibrary = 1e9, bestCurl = 1e9;
    for (int round = 0; round < kRounds; ++round) {
        bestLibrary = std::min(bestLibrary, timeLibraryDownload(libraryPath));
        bestCurl = std::min(bestCurl, timeCurlDownload(url, curlPath));
    }
    const long residentAfter = peakResidentKiB();
    rusage children{};
    getrusage(RUSAGE_CHILDREN, &children);

    const double gib = double(kObjectBytes) / double(1 << 30);
    std::printf("download of 1 GiB to a file, loopback, CRC-64 check on, best of %d\n", kRounds);
    std::printf("  nubora downloadFile : %6.3f s  %7.1f MiB/s\n",
                bestLibrary,
                gib * 1024 / bestLibrary);
    std::printf("  curl -o             : %6.3f s  %7.1f MiB/s\n", bestCurl, gib * 1024 / bestCurl);
    std::printf("  nubora / curl       : %6.1f %%\n", 100.0 * bestCurl / bestLibrary);
    std::printf("  peak RSS of this process (server included): %ld KiB before, %ld KiB after\n",
                residentBefore,
                residentAfter);
    std::printf("  peak RSS of the curl tool: %ld KiB\n", children.ru_maxrss);

    std::vector<unsigned char> buffer(kCrcBufferBytes);
    std::mt19937_64 random(1);
    for (auto &byte : buffer)
        byte = static_cast<unsigned char>(random());
    std::uint64_t ours = 0, reference = 0;
    const double oursSeconds = bestCrcSeconds(
            buffer,
            [](const unsigned char *data, std::size_t size) {
                return nubora::crc64Update(0, data, size);
            },
            ours);
    const double lzmaSeconds = bestCrcSeconds(
            buffer,
            [](const unsigned char *data, std::size_t size) { return lzma_crc64(data, size, 0); },
            reference);
    const double gigabytes = double(kCrcBufferBytes) / 1e9;
    std::printf("CRC-64/XZ over %zu MiB, best of 3\n", kCrcBufferBytes >> 20);
    std::printf("  nubora crc64Update  : %5.2f GB/s\n", gigabytes / oursSeconds);
    std::printf("  liblzma lzma_crc64  : %5.2f GB/s\n", gigabytes / lzmaSeconds);
    std::printf("  results %s\n", ours == reference ? "agree" : "DIFFER");
    return ours == reference ? 0 : 1;
}
