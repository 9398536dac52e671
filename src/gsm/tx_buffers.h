#pragma once

// The commit step before every write to the panel and every file save, and the refresh of the
// GSM models after the frames were filled from a panel or a file.

#include "gsm/program_state.h"

#include <array>
#include <string>

namespace orv {

// What the zones page shows for the eight-zone family, as the commit step needs it.
struct ZoneRowView {
    int partition = 0;  // partition combo index 0..7 (partition 1..8); -1: none chosen
    int type = 0;       // type combo index = zone type code; -1: none chosen (off)
    bool rearm = false; // "Автоматическое восстановление шлейфа" checked
    bool fireReQuery = false; // "Перезапрос пожарного шлейфа" checked
};

struct ZonePageView {
    std::array<ZoneRowView, 8> zones{}; // zones 1..8 at 0..7
    std::array<bool, 7> partDep{};      // chkPartDep2..chkPartDep8 checked, at 0..6

    ZoneRowView& Zone(int n) { return zones[static_cast<std::size_t>(n - 1)]; }
    const ZoneRowView& Zone(int n) const { return zones[static_cast<std::size_t>(n - 1)]; }
    bool& PartDep(int n) { return partDep[static_cast<std::size_t>(n - 2)]; }
    bool PartDep(int n) const { return partDep[static_cast<std::size_t>(n - 2)]; }
};

// The partitions rule over eight zones (partition index and type code of each).
struct PartitionMasks {
    Byte used = 0;    // bits of every zone's partition
    Byte enabled = 0; // partitions holding a zone whose type is not 0
    Byte guarded = 0; // partitions holding a zone of type 5, 6 or 7
    // Dependency boxes 2..8 that may be checked: bit n-1 for box n (bit 0 never).
    Byte DependencyAllowed() const { return static_cast<Byte>(used & enabled & guarded & 0xFE); }
    // Partitions that hold enabled zones but none of a guard type.
    Byte NoArm() const { return static_cast<Byte>(used & enabled & ~guarded); }
};
PartitionMasks ComputePartitionMasks(const ZonePageView& view);
PartitionMasks ComputePartitionMasks(const TDevOP8& device);

// Outcome of the commit step. A refusal carries a message box text and caption; the caller
// shows it and does not save or write. On refusal nothing was changed.
struct CommitResult {
    std::string refusal;
    std::string caption;
    bool ok() const { return refusal.empty(); }
};

// What the commit step prepares for. A file keeps what the user set up even where the panel
// could not take it (GPRS on without an APN); a panel refuses it.
enum class CommitFor { Panel, File };

// For the eight-zone family: the partitions rule (no-arm mask from the zones as view shows them,
// or without a view as the device holds them), the dependency rule (with a view: its checked
// boxes that the partitions rule leaves enabled; without: the device's dependency bits of
// partitions 2..8 that hold an enabled guard-type zone) and, with a view only, the re-arm and
// fire re-query boxes. Then, when the device has a GSM communicator: the directions, the SMS
// list when the SMS flag is on (the retranslator's T_SMS_List from its 40-row model) and the GPRS
// frame when the GPRS flag is on.
CommitResult UpdateAllTXBuffers(TProgramState& state, const ZonePageView* view,
                                CommitFor purpose = CommitFor::Panel);

// After the frames (and the retranslator's T_SMS_List) were filled from a panel or a file, and
// whenever another device object is shown: the directions, SMS and GPRS models show what the
// frames hold, so a later commit writes it back unchanged.
void RefreshGsmModels(TProgramState& state);
// The parts of it, for callers that fill some models themselves. Note that a GPRS frame marked
// empty (no APN) fills the GPRS model with the first preset: a caller that has just put texts into
// the GPRS model should not refresh it from the frame.
void RefreshSmsModels(TProgramState& state);
void RefreshGprsModel(TProgramState& state);

// "Передавать SMS" changed by the user: the SMS flag; switched on for a panel other than the
// retranslator, the list starts empty; switched off on a retranslator, its list is cleared.
void SetSmsListOn(TProgramState& state, bool on);
// A GSM communicator connected by the user: its settings start afresh (device number 0001, the
// directions off, neither SMS nor GPRS).
void StartGsmSettings(TProgramState& state);
// "Использовать конфигурацию GPRS" changed by the user: the GPRS flag; switched on, the dialog
// starts from the first preset of both SIM cards.
void SetGprsOn(TProgramState& state, bool on);

} // namespace orv
