#pragma once

// The recorded entry whose stored form the journal target's odd inputs replace; the seed corpus
// builds the same one, so that its seeds hold that entry's true stored form.

#include "device/catalogue.h"
#include "journal/journal.h"

namespace orv::fuzz {

inline journal::TNewEntry JournalBaseEntry() {
    TProgramState state;
    state.device = CreateDevice(16);
    state.device->SetZoneType(2, 3);
    return journal::EntryFromState(journal::TAction::Save, state, {}, QStringLiteral("base.cf8"));
}

} // namespace orv::fuzz
