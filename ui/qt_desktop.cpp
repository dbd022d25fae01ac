#include "ui/qt_desktop.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>
#include <iostream>

namespace korvan::ui {
namespace {

const QString kCaption = "Korvan";
const QString kDatabaseFilter = "База устройств Zentracor (*.zcf)";
const QString kProfileFilter = "Профиль трекера (*.ini)";

std::optional<std::string> chosen(const QString& path) {
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return path.toStdString();
}

}  // namespace

std::optional<std::string> QtDesktop::ask(QFileDialog& dialog, std::string* remembered) {
    if (ending_) {
        return std::nullopt;
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    auto path = chosen(dialog.selectedFiles().front());
    if (path && remembered != nullptr) {
        *remembered = *path;
    }
    return path;
}

std::optional<std::string> QtDesktop::chooseDatabaseToOpen(const std::string& lastConfirmed,
                                                           OpenReason reason) {
    // At the first start the dialog comes before the window: its title says what it is for.
    const QString title = reason == OpenReason::FirstStart
                              ? "База устройств: выберите файл или введите имя нового"
                              : "Открыть базу устройств";
    QFileDialog dialog(window_, title, QString::fromStdString(lastConfirmed), kDatabaseFilter);
    dialog.setObjectName("OpenDialog");
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // A database that does not exist yet may be named: it is created by the first save.
    dialog.setFileMode(QFileDialog::AnyFile);
    return ask(dialog);
}

std::optional<std::string> QtDesktop::chooseDatabaseToSave(const std::string& lastConfirmed) {
    QFileDialog dialog(window_, "Сохранить базу устройств", QString::fromStdString(lastConfirmed),
                       kDatabaseFilter);
    dialog.setObjectName("SaveDialog1");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // The database keeps every device written so far; saving over it is what it is for.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    return ask(dialog);
}

std::optional<std::string> QtDesktop::chooseLogFile() {
    QFileDialog dialog(window_, "Сохранить отладочный журнал трекера",
                       QString::fromStdString(lastLogFile_), "Двоичный файл (*.bin)");
    dialog.setObjectName("dlgSaveLog");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix("bin");
    return ask(dialog, &lastLogFile_);
}

std::optional<std::string> QtDesktop::chooseProfileToOpen() {
    QFileDialog dialog(window_, "Открыть профиль трекера", QString::fromStdString(lastProfile_),
                       kProfileFilter);
    dialog.setObjectName("ProfileOpenDialog");
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return ask(dialog, &lastProfile_);
}

std::optional<std::string> QtDesktop::chooseProfileToSave() {
    QFileDialog dialog(window_, "Сохранить профиль трекера", QString::fromStdString(lastProfile_),
                       kProfileFilter);
    dialog.setObjectName("ProfileSaveDialog");
    dialog.setAcceptMode(QFileDialog::AcceptSave);  // asks before it overwrites a file
    dialog.setDefaultSuffix("ini");
    return ask(dialog, &lastProfile_);
}

void QtDesktop::showFile(const std::string& path) {
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)))) {
        // The desktop has no program for the file's type: the window says so, with the file's
        // path, rather than a line on a terminal nobody watches.
        message(MessageIcon::Warning,
                "Не удалось открыть файл " + path +
                    ": для файлов этого типа на компьютере не выбрана программа.");
    }
}

void QtDesktop::message(MessageIcon icon, std::string_view text) {
    if (ending_) {
        std::cerr << QCoreApplication::applicationName().toStdString() << ": " << text << '\n';
        return;
    }
    const auto kind = icon == MessageIcon::Error     ? QMessageBox::Critical
                      : icon == MessageIcon::Warning ? QMessageBox::Warning
                                                     : QMessageBox::Information;
    QMessageBox box(kind, kCaption,
                    QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
                    QMessageBox::Ok, window_);
    box.exec();
}

bool QtDesktop::confirm(std::string_view text) {
    if (ending_) {
        return false;
    }
    QMessageBox box(QMessageBox::Warning, kCaption,
                    QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
                    QMessageBox::Yes | QMessageBox::No, window_);
    return box.exec() == QMessageBox::Yes;
}

void QtDesktop::endQuestions() {
    ending_ = true;
    // Each cancelled dialog leaves the modal stack; the bound only guards against one that
    // refuses to go.
    for (int i = 0; i < 16; ++i) {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) {
            break;
        }
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->reject();
        } else {
            modal->close();
        }
    }
}

}  // namespace korvan::ui
