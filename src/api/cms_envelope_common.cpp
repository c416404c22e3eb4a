#include "api/cms_envelope_common.h"

namespace qelt::cms {

int storeSessionKey(ApiCall& call, int nAlg, int nMode, const ByteString& key, const ByteString& iv) {
    ApiContext& ctx = call.ctx();
    ByteString* k = ensureBytes(ctx.pSessionKey);
    if (k == nullptr) return call.noMemory("pApiCtx->pSessionKey");
    ByteString* v = ensureBytes(ctx.pSessionIv);
    if (v == nullptr) return call.noMemory("pApiCtx->pSessionIv");
    k->assign(key);
    v->assign(iv);
    ctx.nSymAlg = nAlg;
    ctx.nSymMode = nMode;
    return QELT_OK;
}

}  // namespace qelt::cms
