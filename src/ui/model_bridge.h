#pragma once

#include "gsm/program_state.h"
#include "gsm/tx_buffers.h"
#include "settings/settings.h"

#include <QString>

#include <optional>

namespace orv {

// Calls from the window into the models and the files: kept in one place.

// The commit step before every write and save (zones: what the zone page shows, or null when
// the device has no eight-zone page). Returns a refusal text and caption, empty when done.
struct TCommitOutcome {
    QString refusal;
    QString caption;
};
TCommitOutcome CommitPages(TProgramState& state, const ZonePageView* zones, CommitFor purpose);

// After a read filled the GSM frames: the GSM models show what the panel holds.
void RefreshAfterRead(TProgramState& state);

// Whether any GSM report direction is switched on.
bool AnyDirectionEnabled(const TProgramState& state);

// A GSM communicator was switched on by the user: its settings start afresh.
void ResetGsmSettings(TProgramState& state);

// Reads a configuration file into the state; false when it cannot be read.
bool OpenConfigFile(TProgramState& state, const QString& path);
// Writes the configuration file; the failure's own message, empty on success.
QString SaveConfigFile(const TProgramState& state, const QString& path);

// The settings of a configuration file, without touching the state; nullopt when it cannot be read.
std::optional<SettingsList> ReadFileSettings(const QString& path);

// The GSM directions file: the five directions of GsmFrame only.
QString SaveGsmDirectionsFile(const TProgramState& state, const QString& path);
// Takes the directions of a directions file or of any configuration file that has them.
bool OpenGsmDirectionsFile(TProgramState& state, const QString& path);

} // namespace orv
