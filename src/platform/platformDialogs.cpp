// platformDialogs.cpp -- dialogs from templates, the colour chooser and the
// open-file dialog.
//
// A template places its controls in dialog units: a quarter of the average
// character width across and an eighth of the character height down, so a
// dialog scales with its font. Each dialog is centred over the main window
// when it opens and reports to its procedure: initialisation, button
// commands (1 OK, the default button; 2 Cancel, also Escape and the close
// box) and changes of its edit fields. Main thread only.
#include <QColorDialog>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>

#include <cmath>
#include <map>

#include "platform/platform.h"
#include "platform/qtShell.h"

namespace {

// The about box's picture: hills under a sky, a tree, a sun.
class PictureControl : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QRectF area = rect();
        QLinearGradient sky(area.topLeft(), area.bottomLeft());
        sky.setColorAt(0.0, QColor(70, 120, 190));
        sky.setColorAt(0.7, QColor(190, 215, 235));
        painter.fillRect(area, sky);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(250, 230, 150));
        painter.drawEllipse(QPointF(area.width() * 0.8, area.height() * 0.25), area.height() * 0.1,
                            area.height() * 0.1);
        auto hill = [&](double base, double amplitude, double phase, QColor colour) {
            QPainterPath path;
            path.moveTo(0, area.height());
            for (int i = 0; i <= 40; ++i) {
                double x = area.width() * i / 40.0;
                double y = area.height() * (base - amplitude * std::sin(i / 40.0 * 6.28 + phase) *
                                                       std::cos(i / 40.0 * 3.1 + phase * 0.5));
                path.lineTo(x, y);
            }
            path.lineTo(area.width(), area.height());
            path.closeSubpath();
            painter.setBrush(colour);
            painter.drawPath(path);
        };
        hill(0.62, 0.12, 0.8, QColor(110, 140, 90));
        hill(0.78, 0.08, 2.4, QColor(70, 110, 60));
        double trunkX = area.width() * 0.3;
        double ground = area.height() * 0.8;
        painter.setBrush(QColor(90, 60, 40));
        painter.drawRect(QRectF(trunkX - 3, ground - area.height() * 0.2, 6, area.height() * 0.2));
        painter.setBrush(QColor(40, 90, 45));
        painter.drawEllipse(QPointF(trunkX, ground - area.height() * 0.28), area.height() * 0.12,
                            area.height() * 0.14);
    }
};

// The colour swatch: fixed client pixels of the dialog.
class SwatchControl : public QWidget {
public:
    using QWidget::QWidget;
    QColor colour = Qt::black;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        // This widget covers client pixels x 200-231, y 15-29 of the dialog.
        painter.fillRect(1, 1, 30, 13, colour);  // x 201-230, y 16-28
        painter.fillRect(0, 0, 32, 1, Qt::black);   // row y 15, x 200-231
        painter.fillRect(0, 0, 1, 15, Qt::black);   // column x 200, y 15-29
        painter.fillRect(31, 0, 1, 15, Qt::black);  // column x 231, y 15-29
        painter.fillRect(0, 14, 32, 1, Qt::black);  // row y 29, x 200-231
    }
};

}  // namespace

struct PlatformDialog : public QDialog {
    DialogProcedure procedure = nullptr;
    std::map<int, QWidget*> items;
    SwatchControl* swatch = nullptr;
    bool initialising = false;

    PlatformDialog(const DialogTemplate& dialogTemplate, DialogProcedure dialogProcedure, QWidget* owner)
        : QDialog(owner), procedure(dialogProcedure) {
        setWindowTitle(QString::fromUtf8(dialogTemplate.caption));
        QFontMetrics metrics(font());
        // Average width of the Latin letters, and the line height.
        int baseX = std::max(1, (metrics.horizontalAdvance(
                                     QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
                                     26 +
                                 1) /
                                    2);
        int baseY = std::max(1, metrics.height());
        auto toX = [baseX](int units) { return units * baseX / 4; };
        auto toY = [baseY](int units) { return units * baseY / 8; };
        setFixedSize(toX(dialogTemplate.width), toY(dialogTemplate.height));

        for (int i = 0; i < dialogTemplate.controlCount; ++i) {
            const DialogControl& control = dialogTemplate.controls[i];
            QRect place(toX(control.x), toY(control.y), toX(control.width), toY(control.height));
            QString text = QString::fromUtf8(control.text ? control.text : "");
            QWidget* widget = nullptr;
            switch (control.kind) {
            case controlLabel:
            case controlTitle: {
                auto* label = new QLabel(text, this);
                label->setTextFormat(Qt::PlainText);
                if (control.kind == controlTitle) {
                    QFont big = label->font();
                    big.setBold(true);
                    big.setPointSizeF(big.pointSizeF() * 1.6);
                    label->setFont(big);
                    label->setAlignment(Qt::AlignCenter);
                }
                widget = label;
                break;
            }
            case controlEdit: {
                auto* edit = new QLineEdit(this);
                int identifier = control.identifier;
                QObject::connect(edit, &QLineEdit::textChanged, this, [this, identifier] {
                    if (!initialising) procedure(this, dialogFieldChanged, identifier);
                });
                widget = edit;
                break;
            }
            case controlButton: {
                auto* button = new QPushButton(text, this);
                int identifier = control.identifier;
                button->setAutoDefault(false);
                if (identifier == 1) button->setDefault(true);
                QObject::connect(button, &QPushButton::clicked, this,
                                 [this, identifier] { procedure(this, dialogCommand, identifier); });
                widget = button;
                break;
            }
            case controlPicture:
                widget = new PictureControl(this);
                break;
            case controlSwatch:
                swatch = new SwatchControl(this);
                widget = swatch;
                place = QRect(200, 15, 32, 15);
                break;
            }
            widget->setGeometry(place);
            if (control.identifier >= 0) items[control.identifier] = widget;
        }
        centreOverMainWindow(this);
        initialising = true;
        procedure(this, dialogInit, 0);
        initialising = false;
    }

    // Escape and the close box are Cancel.
    void reject() override { procedure(this, dialogCommand, 2); }
};

namespace {

QWidget* dialogOwner() {
    return shell.mainWindow && shell.mainWindow->isVisible() ? shell.mainWindow : nullptr;
}

}  // namespace

int platformRunModalDialog(const DialogTemplate& dialogTemplate, DialogProcedure procedure) {
    if (platformBatchMode()) return 2;  // no one to fill it in: as if cancelled
    if (!ensureApplication()) return -1;
    PlatformDialog dialog(dialogTemplate, procedure, dialogOwner());
    return dialog.exec();
}

void platformShowModelessDialog(const DialogTemplate& dialogTemplate, DialogProcedure procedure) {
    if (!ensureApplication()) return;
    auto* dialog = new PlatformDialog(dialogTemplate, procedure, dialogOwner());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setModal(false);
    dialog->show();
}

void platformEndDialog(PlatformDialog* dialog, int result) {
    if (dialog) dialog->done(result);
}

void platformSetDialogItemText(PlatformDialog* dialog, int identifier, const char* text) {
    if (!dialog) return;
    auto found = dialog->items.find(identifier);
    if (found == dialog->items.end()) return;
    QString value = QString::fromUtf8(text ? text : "");
    if (auto* edit = qobject_cast<QLineEdit*>(found->second)) edit->setText(value);
    else if (auto* label = qobject_cast<QLabel*>(found->second)) label->setText(value);
    else if (auto* button = qobject_cast<QPushButton*>(found->second)) button->setText(value);
}

std::string platformGetDialogItemText(PlatformDialog* dialog, int identifier) {
    if (!dialog) return {};
    auto found = dialog->items.find(identifier);
    if (found == dialog->items.end()) return {};
    if (auto* edit = qobject_cast<QLineEdit*>(found->second)) return edit->text().toStdString();
    if (auto* label = qobject_cast<QLabel*>(found->second)) return label->text().toStdString();
    return {};
}

void platformDialogMessageBox(PlatformDialog* dialog, const char* text, const char* caption) {
    if (platformBatchMode()) {
        platformMessageBox(text, caption, platformOk, false);
        return;
    }
    QMessageBox box(dialog);
    box.setWindowTitle(QString::fromUtf8(caption ? caption : ""));
    box.setText(QString::fromUtf8(text ? text : ""));
    box.setTextFormat(Qt::PlainText);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

void platformSetSwatchColour(PlatformDialog* dialog, int red, int green, int blue) {
    if (!dialog || !dialog->swatch) return;
    dialog->swatch->colour = QColor(red & 0xFF, green & 0xFF, blue & 0xFF);
    dialog->swatch->update();
}

bool platformChooseColour(int rgb[3], int customColours[16][3]) {
    if (platformBatchMode() || !ensureApplication()) return false;
    for (int i = 0; i < 16 && i < QColorDialog::customCount(); ++i) {
        QColorDialog::setCustomColor(i, QColor(customColours[i][0] & 0xFF, customColours[i][1] & 0xFF,
                                               customColours[i][2] & 0xFF));
    }
    QColorDialog chooser(QColor(rgb[0] & 0xFF, rgb[1] & 0xFF, rgb[2] & 0xFF));
    chooser.setOption(QColorDialog::DontUseNativeDialog);
    centreOverMainWindow(&chooser);
    bool chosen = chooser.exec() == QDialog::Accepted;
    for (int i = 0; i < 16 && i < QColorDialog::customCount(); ++i) {
        QColor colour = QColorDialog::customColor(i);
        customColours[i][0] = colour.red();
        customColours[i][1] = colour.green();
        customColours[i][2] = colour.blue();
    }
    if (!chosen) return false;
    QColor colour = chooser.selectedColor();
    rgb[0] = colour.red();
    rgb[1] = colour.green();
    rgb[2] = colour.blue();
    return true;
}

bool platformOpenScriptDialog(std::string& path) {
    if (platformBatchMode() || !ensureApplication()) return false;
    QFileDialog dialog(dialogOwner());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // Name filters match without regard to case ("*.LUA" finds "init.lua").
    dialog.setNameFilters({QStringLiteral("Script LUA Files (*.LUA)"), QStringLiteral("All Files (*.*)")});
    dialog.setDefaultSuffix(QStringLiteral("lua"));
    if (!path.empty()) {
        QFileInfo previous(QString::fromStdString(path));
        dialog.setDirectory(previous.absolutePath());
        dialog.selectFile(previous.fileName());
    }
    if (dialog.exec() != QDialog::Accepted) return false;
    QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return false;
    path = chosen.first().toStdString();
    return true;
}
