#include "model_bridge.h"

#include "files/config_file.h"
#include "files/gsm_file.h"
#include "gsm/directions.h"

#include <QFile>

namespace orv {

TCommitOutcome CommitPages(TProgramState& state, const ZonePageView* zones, CommitFor purpose) {
    const CommitResult result = UpdateAllTXBuffers(state, zones, purpose);
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
    StartGsmSettings(state);
}

bool OpenConfigFile(TProgramState& state, const QString& path) {
    return ReadConfigFile(state, QFile::encodeName(path).toStdString());
}

std::optional<SettingsList> ReadFileSettings(const QString& path) {
    TProgramState file;
    if (!OpenConfigFile(file, path)) {
        return std::nullopt;
    }
    return ListSettings(file);
}

QString SaveConfigFile(const TProgramState& state, const QString& path) {
    const SaveResult result = WriteConfigFile(state, QFile::encodeName(path).toStdString());
    if (result.ok) {
        return {};
    }
    return result.message.empty() ? QStringLiteral("Не удалось записать файл ") + path
                                  : QString::fromStdString(result.message);
}

QString SaveGsmDirectionsFile(const TProgramState& state, const QString& path) {
    const SaveResult result = WriteGsmDirectionsFile(state, QFile::encodeName(path).toStdString());
    if (result.ok) {
        return {};
    }
    return result.message.empty() ? QStringLiteral("Не удалось записать файл ") + path
                                  : QString::fromStdString(result.message);
}

bool OpenGsmDirectionsFile(TProgramState& state, const QString& path) {
    return ReadGsmDirectionsFile(state, QFile::encodeName(path).toStdString());
}

} // namespace orv
