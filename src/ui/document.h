#pragma once

// The configuration the window shows, as one document: the file it belongs to and what that file
// held when the window last opened or saved it, what the panel holds as this session last read
// or wrote it, the site it is for and the caption. Every open, read, write, save and device
// choice goes through it, so the rules for the unsaved-changes mark, the questions before a save
// and the change count before a write live here once. Qt Core only: tested without windows.

#include "settings/settings.h"

#include <QByteArray>
#include <QDate>
#include <QString>

#include <optional>
#include <string>

namespace orv {

// A file as it is on disk now.
struct TFileContent {
    bool exists = false;
    // Read whole: a regular file (or a link to one) of a configuration file's size.
    bool read = false;
    std::string bytes;
    QByteArray sha256; // of bytes, when read
    // What it holds when it reads as a configuration file.
    std::optional<SettingsList> settings;
};

// Reads what the file holds now without blocking on anything that is not a regular file.
TFileContent ReadFileContent(const QString& path);

QByteArray Sha256(const std::string& bytes);

// What a save must do before it replaces a file.
struct TSaveCheck {
    // Ask this (Да/Нет) first; empty: nothing to ask.
    QString question;
    // The file holds a configuration that is to be kept in the journal before it is replaced.
    bool keepReplaced = false;
};

class TDocument {
public:
    // A configuration file was opened: it is the current file.
    void Opened(const QString& file, const TFileContent& content, const SettingsList& screen,
                const QString& site);
    // A configuration came from the journal: the current file stays; caption stands for the file
    // name when there is none.
    void OpenedEntry(const QString& caption, const SettingsList& screen, const QString& site);
    // A text put on screen as a new configuration not yet saved (no current file).
    void OpenedText(const QString& caption, const SettingsList& screen);
    // The panel on port was read: the panel holds what is on screen.
    void Read(const QString& port, const SettingsList& screen);
    // A read that failed after it had replaced the configuration: what is on screen is not
    // all the panel holds.
    void ReadIncomplete(const SettingsList& screen);
    // The configuration on screen was written to the panel on port.
    void Written(const QString& port, const SettingsList& screen);
    // A write that failed: what the panel holds now is not known.
    void WriteFailed();
    // A device chosen from the menu: its default configuration is on screen.
    void DeviceChosen(const SettingsList& screen);
    // The configuration on screen was saved as bytes into file, which becomes the current file.
    void Saved(const QString& file, const std::string& bytes, const SettingsList& screen);
    // A save under a new name was asked for: the file is the current file from now on, whether
    // the save succeeds or not (a failed one is tried again by "Сохранить"); what it holds now is
    // what the user agreed to replace.
    void Named(const QString& file, const TFileContent& now);
    // A GSM directions file was saved and became the current file: it holds no configuration.
    void DirectionsSaved(const QString& file, const std::string& bytes);

    // The configuration on screen differs from the current file's, or without a file from what
    // last came on screen (a read, a write, an opened entry, a chosen device).
    bool Modified(const SettingsList& screen) const;
    // The window's caption: "*" when modified, the file (or the entry) and the title.
    QString Caption(const QString& title, bool modified) const;

    // What writing the screen would change in the panel on port: against what this session last
    // read from or wrote to that port, when it was a panel of the screen's type.
    std::optional<Comparison> PanelChanges(const QString& port, const SettingsList& screen) const;

    // Before the screen replaces file (now: what it holds now). For the current file, asks when it
    // holds another device type, or when it changed on disk since this window opened or saved it;
    // a configuration it holds that this window did not put there is to be kept.
    TSaveCheck CheckSave(const QString& file, const TFileContent& now, const SettingsList& screen) const;

    // The name "Сохранить как..." offers: the site, else the device name, and the date; without
    // characters a file system refuses.
    QString SuggestedName(const QString& deviceName, const QDate& date) const;

    const QString& File() const { return file_; }
    const QString& Site() const { return site_; }
    void SetSite(const QString& site) { site_ = site; }
    // The caption's name for the file or entry ("" for none).
    const QString& CaptionName() const { return captionName_; }
    // The settings the mark compares with; nothing when the current file holds no configuration.
    const std::optional<SettingsList>& Baseline() const;

private:
    struct PanelState {
        QString port;
        SettingsList settings;
    };

    void SetFile(const QString& file, const QByteArray& sha256, std::optional<SettingsList> settings);

    QString file_;
    QByteArray fileSha256_;                    // what the file held when last opened or saved here
    std::optional<SettingsList> fileSettings_; // and as settings, when a configuration
    std::optional<SettingsList> shown_;        // what last came on screen, without a file
    std::optional<PanelState> panel_;
    QString captionName_;
    QString site_;
};

} // namespace orv
