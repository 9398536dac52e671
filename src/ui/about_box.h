#pragma once

#include <QString>

#include <memory>

class QDialog;
class QWidget;

namespace orv {

// "4.6.4.4" -> "4.6.4": the version shown is cut before its last point.
QString ShortVersion(const QString& fileVersion);

// The About box, built from the program's version record.
std::unique_ptr<QDialog> BuildAboutBox(QWidget* parent, const QString& applicationTitle);

} // namespace orv
