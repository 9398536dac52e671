#pragma once

// Configurations and templates as JSON text: the form `show --json` prints read back as values
// to set, template files, and the folder the program keeps a company's templates in. Qt Core.

#include "settings/assign.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace orv {

// What a settings JSON text holds: the device type and the values, stored ones where given.
struct TSettingsImport {
    Byte type = 0;
    std::vector<SettingValue> values;
};

// The form `show --json` prints, or only "type" and some of "settings" (each with its "key" and
// its "raw" or "value"). Nothing, with the reason in error, when the text is not such JSON or
// names no type with a configuration.
std::optional<TSettingsImport> ReadSettingsJson(const QByteArray& json, QString& error);

// A type's configuration as `new` makes it, with the values set; the state holds it only when
// every value was taken.
SetOutcome ImportSettings(const TSettingsImport& import, TProgramState& state);

// A template file: {"template": 1, "name", "note", "types": [codes], "settings": [{"key",
// "page", "label", "value", "raw"}]}. A template written by hand may leave out everything but the
// settings' keys and each one's "raw" or "value".
std::optional<SettingsTemplate> ReadTemplate(const QByteArray& json, QString& error);
QByteArray TemplateJson(const SettingsTemplate& t);

// A JSON file read whole: a regular file of a sensible size; the reason in error otherwise.
std::optional<QByteArray> ReadJsonFile(const QString& path, QString& error);

// A template file read whole (a regular file of a sensible size); the reason in error otherwise.
std::optional<SettingsTemplate> LoadTemplateFile(const QString& path, QString& error);
// Written through the crash-safe save; the reason in error when it could not be.
bool SaveTemplateFile(const SettingsTemplate& t, const QString& path, QString& error);

// "Шаблоны" in the program's data folder: templates dropped there are offered in the window's
// menu.
QString TemplatesFolder();

struct TTemplateEntry {
    QString path;
    QString name; // the template's own name, or the file's when it has none
};

// The readable templates (*.json) of the folder, by name.
std::vector<TTemplateEntry> ListTemplates(const QString& folder = TemplatesFolder());

// A file name for a template of this name: characters a file system refuses left out.
QString TemplateFileName(const QString& name);

} // namespace orv
