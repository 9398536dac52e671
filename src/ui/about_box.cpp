#include "about_box.h"

#include "images.h"
#include "orvanta_version.h"

#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace orv {

QString ShortVersion(const QString& fileVersion) {
    const qsizetype dot = fileVersion.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? fileVersion : fileVersion.left(dot);
}

std::unique_ptr<QDialog> BuildAboutBox(QWidget* parent, const QString& applicationTitle) {
    auto box = std::make_unique<QDialog>(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                                     Qt::WindowCloseButtonHint);
    box->setObjectName(QStringLiteral("AboutBox"));
    box->setWindowTitle(QStringLiteral("О программе: ") + applicationTitle);

    auto* icon = new QLabel(box.get());
    icon->setPixmap(AppIcon().pixmap(32, 32));
    icon->setGeometry(10, 10, 32, 32);
    const int left = icon->geometry().right() + 1 + 10;

    QList<QLabel*> labels;
    auto* product = new QLabel(QString::fromUtf8(version::kProductName), box.get());
    product->setObjectName(QStringLiteral("lblProduct"));
    QFont font = product->font();
    font.setBold(true);
    font.setPointSize(10);
    product->setFont(font);
    product->setStyleSheet(QStringLiteral("color: rgb(0, 0, 128);"));
    product->adjustSize();
    product->move(left, 10);
    labels << product;

    const struct {
        const char* name;
        const char* label;
        QString value;
    } lines[] = {
        {"lblVersion", "Версия: ", ShortVersion(QString::fromUtf8(version::kFileVersion))},
        {"lblCompany", "Компания: ", QString::fromUtf8(version::kCompanyName)},
        {"lblAuthor", "Автор: ", QString::fromUtf8(version::kAuthor)},
    };
    for (const auto& line : lines) {
        if (line.value.isEmpty()) {
            continue;
        }
        auto* label = new QLabel(QString::fromUtf8(line.label) + line.value, box.get());
        label->setObjectName(QString::fromLatin1(line.name));
        label->adjustSize();
        label->move(left, labels.last()->geometry().bottom() + 1 + 5);
        labels << label;
    }

    int right = 0;
    for (auto* l : labels) {
        right = std::max(right, l->geometry().right() + 1);
    }
    const int width = std::max(right + 20, 220);
    const int height = labels.last()->geometry().bottom() + 1 + 85;

    auto* line = new QFrame(box.get());
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Raised);
    line->setGeometry(0, height - 70, width, 2);

    auto* ok = new QPushButton(QStringLiteral("Ok"), box.get());
    ok->setObjectName(QStringLiteral("btnOk"));
    ok->setDefault(true);
    ok->resize(75, 25);
    ok->move((width - ok->width()) / 2, height - 60);
    QObject::connect(ok, &QPushButton::clicked, box.get(), &QDialog::accept);

    box->setFixedSize(width, height);
    if (const QScreen* screen = parent ? parent->screen() : nullptr) {
        const QRect area = screen->availableGeometry();
        box->move(area.center() - QPoint(width / 2, height / 2));
    }
    return box;
}

} // namespace orv
