// Reply bytes and text files in the local code page: the pair-by-pair reply decoder, the
// whole-text decoder, and the encoder that writes decoded text back.
#include "CodePage.h"
#include "FuzzSupport.h"
#include "PublicFunction.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = fuzz::bytes(data, size);
    try {
        const QString reply = BytesToBstr(input);
        // One character per single byte or per pair: the text is never longer than its bytes.
        if (reply.size() > input.size())
            std::abort();
        bool lossy = false;
        codepage::encode(reply, &lossy);
        UrlEncodeAnsi(reply);
    } catch (const HelperError&) {
        // A reply cut inside a pair is refused; the caller reports it.
    }
    const QString text = codepage::decode(input);
    bool lossy = false;
    const QByteArray again = codepage::encode(text, &lossy);
    // Text that encodes without loss decodes back to itself.
    if (!lossy && codepage::decode(again) != text)
        std::abort();
    return 0;
}
