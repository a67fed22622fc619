#include "HeldStrongKeys.h"

#include "app/App.h"
#include "app/QtText.h"

namespace velotan::windows {

HeldStrongKeys LoadHeldStrongKeys(app::App& app) {
    HeldStrongKeys held;
    held.folder = app.Cipher().KeyStoreFolder();
    if (!held.folder) {
        held.problem = app::Q(kNoKeyStoreMessage);
        return held;
    }
    strong::LoadedRing loaded = strong::LoadKeyRing(*held.folder);
    held.ring = std::move(loaded.ring);
    if (loaded.result.status != strong::RingStatus::Ok &&
        loaded.result.status != strong::RingStatus::Unchanged)
        held.problem = FromUtf8(strong::RingMessage(loaded.result));
    return held;
}

}  // namespace velotan::windows
