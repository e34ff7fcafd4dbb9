#include "installersignature.h"

#include <QFile>

#include <openssl/evp.h>

#include <memory>

namespace {

constexpr int kKeyBytes = 32;
constexpr int kSignatureBytes = 64;

struct PkeyDeleter
{
    void operator()(EVP_PKEY *key) const { EVP_PKEY_free(key); }
};
struct MdContextDeleter
{
    void operator()(EVP_MD_CTX *context) const { EVP_MD_CTX_free(context); }
};

} // namespace

QByteArray builtInUpdateKey()
{
    return QByteArray::fromBase64(QByteArrayLiteral(TEVRANO_UPDATE_PUBLIC_KEY));
}

QByteArray signatureBytes(const QByteArray &signatureObject)
{
    if (signatureObject.size() == kSignatureBytes)
        return signatureObject;
    const auto decoded = QByteArray::fromBase64Encoding(signatureObject.trimmed(),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    return decoded && decoded.decoded.size() == kSignatureBytes ? decoded.decoded : QByteArray();
}

bool verifyFileSignature(const QByteArray &publicKey,
                         const QByteArray &signatureObject,
                         const QString &filePath)
{
    const QByteArray signature = signatureBytes(signatureObject);
    if (publicKey.size() != kKeyBytes || signature.isEmpty())
        return false;
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly) || file.size() == 0)
        return false;
    // Ed25519 takes the message in one piece; a mapping keeps a large installer out of the heap.
    const uchar *content = file.map(0, file.size());
    if (!content)
        return false;

    const std::unique_ptr<EVP_PKEY, PkeyDeleter> key(EVP_PKEY_new_raw_public_key(
            EVP_PKEY_ED25519,
            nullptr,
            reinterpret_cast<const unsigned char *>(publicKey.constData()),
            kKeyBytes));
    const std::unique_ptr<EVP_MD_CTX, MdContextDeleter> context(EVP_MD_CTX_new());
    return key && context
           && EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) == 1
           && EVP_DigestVerify(context.get(),
                               reinterpret_cast<const unsigned char *>(signature.constData()),
                               kSignatureBytes,
                               content,
                               static_cast<size_t>(file.size()))
                      == 1;
}
