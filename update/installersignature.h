#ifndef TEVRANO_INSTALLERSIGNATURE_H
#define TEVRANO_INSTALLERSIGNATURE_H

#include <QByteArray>
#include <QString>

// The raw 32-byte Ed25519 key that release installers are signed with, built in from
// TEVRANO_UPDATE_PUBLIC_KEY; empty when the build has none.
QByteArray builtInUpdateKey();

// The 64 signature bytes of a signature object: the raw bytes, or their Base64 text with
// white space around it. Empty when the object is neither.
QByteArray signatureBytes(const QByteArray &signatureObject);

// Whether the signature object holds the Ed25519 signature of the file's bytes under the
// raw 32-byte public key. Any fault (unreadable file, malformed key or signature) is a no.
bool verifyFileSignature(const QByteArray &publicKey,
                         const QByteArray &signatureObject,
                         const QString &filePath);

#endif // TEVRANO_INSTALLERSIGNATURE_H
