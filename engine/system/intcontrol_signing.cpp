// IntControl 93: code signing. p1 0 signs through the signing wizard, 1 answers the hash
// text of a file's signing certificate, 2 renames a certificate, 3 signs through
// SignerSignEx2. A failure without an error number of its own is 1825, answered "0".
#include <string>

#include "engine/core/context.h"
#include "engine/system/code_signing.h"
#include "engine/system/intcontrol.h"

namespace {

constexpr uint16_t ERR_BAD_REQUEST = 1809;    // "Invalid request number"
constexpr uint16_t ERR_FAILED = 1825;         // "Function failed"

void CodeSigning(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    IntControlAnswer(ctx, result, 0);
    std::string hashText;
    int done = 0;
    switch (r.p[1]) {
    case 0:
        done = SignFileCryptUi(ctx, r.text[2]);
        break;
    case 1:
        done = FindFileSigningCert(ctx, r.text[2], hashText);
        break;
    case 2:
        done = CertSetStoreProperty(ctx, r.text[2], r.text[3]);
        break;
    case 3:
        done = SignFileSigner(ctx, r.text[2]);
        break;
    default:
        SetError(ctx, ERR_BAD_REQUEST);
        return;
    }
    if (!done) {
        if (!ctx->nErrorCode)
            SetError(ctx, ERR_FAILED);
        return;
    }
    if (r.p[1] == 1)
        IntControlAnswerText(ctx, result, hashText.c_str());
    else
        IntControlAnswer(ctx, result, 1);
}

const IntControlRow kRows[] = {
    {93, CodeSigning},
};

}  // namespace

extern const IntControlFamily g_IntControlSigning = {"signing", kRows,
                                                     static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
