#include "model_bridge.h"

#include "gsm/directions.h"

namespace orv {

TCommitOutcome CommitPages(TProgramState& state, const ZonePageView* zones) {
    const CommitResult result = UpdateAllTXBuffers(state, zones);
    if (result.ok()) {
        return {};
    }
    return {QString::fromStdString(result.refusal), QString::fromStdString(result.caption)};
}

void RefreshAfterRead(TProgramState& state) {
    RefreshGsmModels(state);
}

bool AnyDirectionEnabled(const TProgramState& state) {
    return orv::AnyDirectionEnabled(state.Directions);
}

void ResetGsmSettings(TProgramState& state) {
    ResetGsmFrame(state.GsmFrame);
    DecodeDirections(state.GsmFrame, state.Directions);
}

bool OpenConfigFile(TProgramState&, const QString&) {
    return false;
}

QString SaveConfigFile(const TProgramState&, const QString&) {
    return QStringLiteral("Запись файлов конфигурации недоступна");
}

} // namespace orv
