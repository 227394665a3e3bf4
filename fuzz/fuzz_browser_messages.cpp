// Any byte string as what a browser host sends the program: it is cut into
// messages by the reader the host and the program share, in pieces of the sizes
// its first bytes give, and each message is answered by a session of the
// extension's protocol over the delivered database. Every message gets a reply
// that is JSON; never a crash, a hang, or a reader holding more than a message.
#include "browser/BrowserStore.h"
#include "browser/ExtensionAsker.h"
#include "browser/ExtensionSession.h"
#include "browser/MessageFrames.h"

#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

// Denies everything: the fuzzer must never be able to add a connection.
class DenyingAsker : public ExtensionAsker {
public:
    std::optional<QString> confirmConnection(const ConnectionRequest&) override { return std::nullopt; }
    AccessAnswer confirmAccess(const AccessRequest&) override { return {}; }
    bool confirmNewLogin(const NewLoginRequest&) override { return false; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    static const bool copied = QFile::copy(QStringLiteral(DELIVERED_DIR "/password.mdb"), dir.filePath("password.mdb"));
    static std::unique_ptr<BrowserStore> store =
        copied ? std::make_unique<BrowserStore>(dir.filePath("password.mdb")) : nullptr;
    static DenyingAsker asker;
    if (size < 1)
        return 0;
    ExtensionSession session(asker);
    session.setStore(data[0] & 1 ? store.get() : nullptr);
    MessageFrames frames;
    const size_t piece = 1 + data[0] / 2;
    for (size_t at = 1; at < size; at += piece) {
        frames.append(reinterpret_cast<const char*>(data) + at, qsizetype(std::min(piece, size - at)));
        if (frames.pendingBytes() > qsizetype(MessageFrames::MaxMessageBytes) + 4)
            std::abort();
        while (frames.hasNext()) {
            const QByteArray reply = session.reply(frames.next());
            if (!QJsonDocument::fromJson(reply).isObject())
                std::abort();
        }
    }
    return 0;
}
