#include "ProtocolFiles.h"

#include "HtmlPrint.h"
#include "base/Program.h"
#include "export/ExcelExport.h"
#include "export/ExcelImport.h"
#include "export/HtmlProtocol.h"
#include "export/ProtocolBackup.h"
#include "export/WordExport.h"
#include "race/RaceSettings.h"
#include "ui/SortGrid.h"

#include <QApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryFile>
#include <QUrl>

TProtocolFiles::TProtocolFiles(TSortGrid& grid, const QLineEdit& eTitle, TRaceSettings& settings,
                               QWidget& window, TBackgroundWriter& writer)
    : QObject(&window), grid_(grid), eTitle_(eTitle), settings_(settings), window_(window) {
    Backup = new ProtocolBackup([this] { return Rows(); }, &writer, this);
    const FileTypeNames names = SystemFileTypeNames();
    SaveFilters = SaveDialogFilters(names);
    OpenFilters = OpenDialogFilters(names);
}

ProtocolRows TProtocolFiles::Rows() const {
    return grid_.Protocol()->Rows();
}

QList<bool> TProtocolFiles::Visible() const {
    const auto visible = grid_.VisibleColumns();
    return QList<bool>(visible.begin(), visible.end());
}

void TProtocolFiles::Show(const QString& message) {
    if (sink_)
        sink_(message);
    else
        QMessageBox::critical(&window_, ProgramTitle(), message);
}

void TProtocolFiles::Notice(const QString& message) {
    if (sink_) {
        sink_(message);
        return;
    }
    // A notice, not a question: the race goes on while it shows.
    auto* box =
        new QMessageBox(QMessageBox::Warning, ProgramTitle(), message, QMessageBox::Ok, &window_);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

bool TProtocolFiles::LoadBackup() {
    const ProtocolBackup::LoadResult result = Backup->Load(grid_.Protocol()->HeaderTexts);
    if (result.rows) {
        grid_.Protocol()->SetRows(*result.rows);
        grid_.FeedStartNumbers();
    }
    if (!result.message.isEmpty()) Notice(result.message);
    return result.rows.has_value();
}

bool TProtocolFiles::Save(const QString& fileName, ProtocolFileKind kind) {
    FileWriteResult result;
    switch (kind) {
    case ProtocolFileKind::Text:
        result = WriteProtocolText(fileName, Rows());
        break;
    case ProtocolFileKind::Excel:
        result = WriteExcelWorkbook(fileName, {Rows(), Visible(), eTitle_.text(), ProgramTitle()});
        break;
    case ProtocolFileKind::Word: {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        result =
            WriteWordDocument(fileName, {Rows(), Visible(), eTitle_.text(), QDate::currentDate(),
                                         ProgramFile(WordTemplateName())});
        QApplication::restoreOverrideCursor();
        break;
    }
    case ProtocolFileKind::Html:
        result = WriteHtmlProtocol(fileName, Rows(), Visible(), ProgramTitle());
        break;
    }
    if (!result.ok) Show(result.message);
    return result.ok;
}

bool TProtocolFiles::Load(const QString& fileName, ProtocolFileKind kind) {
    const ProtocolReadResult result =
        kind == ProtocolFileKind::Excel ? ReadExcelWorkbook(fileName)
                                        : ReadProtocolText(fileName, grid_.Protocol()->HeaderTexts);
    if (!result.ok) {
        Show(result.message);
        return false;
    }
    grid_.Protocol()->SetRows(result.rows);
    if (kind == ProtocolFileKind::Excel)
        grid_.SelectRow(1);
    else
        grid_.FeedStartNumbers();
    emit Loaded(kind, fileName);
    return true;
}

void TProtocolFiles::sbSaveClick() {
    grid_.CommitEdit();
    QFileDialog dialog(&window_);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDirectory(ProgramFolder());
    dialog.setNameFilters(NameFilters(SaveFilters));
    // A name typed without an extension gets the one of the entry picked, not always ".txt":
    // a workbook named like a text file would be loaded as text later.
    const auto entryOf = [this](const QString& filter) {
        const qsizetype picked = NameFilters(SaveFilters).indexOf(filter);
        return std::make_pair(int(picked), SaveFilters.value(picked, SaveFilters.first()));
    };
    connect(&dialog, &QFileDialog::filterSelected, &dialog,
            [&](const QString& filter) { dialog.setDefaultSuffix(entryOf(filter).second.suffix); });
    const int index = std::clamp(settings_.FilterInd, 1, int(SaveFilters.size())) - 1;
    dialog.selectNameFilter(SaveFilters[index].filter);
    dialog.setDefaultSuffix(SaveFilters[index].suffix);
    dialog.selectFile(DefaultProtocolFileName(QDateTime::currentDateTime()));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    // The writer follows the kind of entry picked, wherever it stands in the list.
    const auto [picked, entry] = entryOf(dialog.selectedNameFilter());
    settings_.FilterInd = picked + 1;
    QString fileName = dialog.selectedFiles().first();
    if (QFileInfo(fileName).suffix().isEmpty()) fileName += u'.' + entry.suffix;
    Save(fileName, entry.kind);
}

void TProtocolFiles::sbLoadClick() {
    grid_.CommitEdit();
    QFileDialog dialog(&window_);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDirectory(ProgramFolder());
    dialog.setNameFilters(NameFilters(OpenFilters));
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const int picked = int(NameFilters(OpenFilters).indexOf(dialog.selectedNameFilter()));
    Load(dialog.selectedFiles().first(), OpenFilters.value(picked, OpenFilters.first()).kind);
}

QString TProtocolFiles::WriteViewPage() {
    grid_.CommitEdit();
    const QString name = HtmlViewFileName(ProgramTitle());
    // The working folder as asked; an installed program's folder may be read-only.
    QString path = QDir::current().absoluteFilePath(name);
    if (!QFileInfo(QDir::currentPath()).isWritable()) path = QDir::temp().absoluteFilePath(name);
    const FileWriteResult result = WriteHtmlProtocol(path, Rows(), Visible(), ProgramTitle());
    if (!result.ok) {
        Show(result.message);
        return {};
    }
    return path;
}

void TProtocolFiles::sbInetClick() {
    const QString path = WriteViewPage();
    if (!path.isEmpty()) QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void TProtocolFiles::sbPrintClick() {
    const QString path = WriteViewPage();
    if (!path.isEmpty()) PrintHtmlFile(path); // no printer: nothing happens
}

void TProtocolFiles::sbExcelClick() {
    grid_.CommitEdit();
    const ExcelTempFileResult result =
        WriteExcelWorkbookToTemp({Rows(), Visible(), eTitle_.text(), ProgramTitle()});
    if (!result.ok) {
        Show(result.message);
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(result.fileName));
}
