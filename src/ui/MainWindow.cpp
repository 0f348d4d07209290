#include "MainWindow.h"

#include "DlgYesNo.h"
#include "HeatControls.h"
#include "JournalViewer.h"
#include "LaneTimer.h"
#include "Monitor2.h"
#include "ProtocolFiles.h"
#include "RaceArea.h"
#include "ResultsViews.h"
#include "SignalPlayer.h"
#include "SortGrid.h"
#include "TitlePicture.h"
#include "TopBar.h"
#include "TvLadderSwitch.h"
#include "base/Program.h"
#include "export/BackgroundWriter.h"
#include "export/FileNotices.h"
#include "export/Journal.h"
#include "export/JournalRecorder.h"
#include "export/ProtocolBackup.h"
#include "help/SPHTMLHelp.h"
#include "live/LiveResults.h"
#include "race/BarrierInputs.h"
#include "race/BarrierPort.h"
#include "race/Plausibility.h"
#include "race/RaceSequence.h"
#include "results/ResultsDatabase.h"
#include "results/RunRecorder.h"
#include "settings/CfgDialog.h"
#include "settings/ClassList.h"
#include "settings/LineTestDialog.h"
#include "settings/SettingsStore.h"
#include "slips/TimeSlips.h"
#include "widgets/Fonts.h"
#include "widgets/OperatorButton.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QSettings>
#include <QTimer>
#include <QToolButton>

#include <cstdio>

TFormMain::TFormMain(QWidget* parent, TSerialDeviceFactory devices)
    : QWidget(parent), player_(new SignalPlayer(this)) {
    // Made first: the notice bar asks it what to show as soon as the bar exists.
    FileNotices = new TFileNotices(this);
    FileNotices->AddKind(QStringLiteral("Die Sicherungsdatei kann nicht geschrieben werden"),
                         [this](const QString& file) { return file == Files->Backup->FilePath(); });
    FileNotices->AddKind(QStringLiteral("Das Rennjournal kann nicht geschrieben werden"),
                         [](const QString& file) {
                             return QFileInfo(file).fileName().startsWith(
                                 ProgramTitle() + QStringLiteral("-Journal-"));
                         });
    FileNotices->AddKind(TResultsDatabase::FailureText(),
                         [this](const QString& file) { return file == Results->FilePath(); });
    connect(FileNotices, &TFileNotices::Changed, this, &TFormMain::ShowPortNotice);
    setFont(ArialFont(11));
    Fill(this, QColor(0xA6, 0xCA, 0xF0));
    resize(800, 572);
    setMinimumSize(792, 488);

    Panel1 = new TTopBar(this);
    PanelLeft = new TRaceArea(race, this);
    PanelLeft->move(0, TTopBar::kHeight);
    // The settings record holds the title; the store keeps it from there.
    connect(PanelLeft->eTitle, &QLineEdit::textChanged, this,
            [this](const QString& title) { race.settings.Title = title; });

    SortGrid1 = new TSortGrid(this);
    SortGrid1->SetHeat(&race.heat);
    SortGrid1->SetClassSource(PanelLeft->cbKlass);
    // The widths follow the table's client width, which is only known once it is laid out.
    SortGrid1->viewport()->installEventFilter(this);
    connect(SortGrid1, &TSortGrid::ContentChanged, this, &TFormMain::UpdateProtocolCommands);

    Sequence = new TRaceSequence(race, this);
    Sequence->SetProtocol(SortGrid1);
    Sequence->SetSoundPlayer([this](const QString& file) { player_->Play(file); });
    HeatControls = new THeatControls(race, *Sequence, *PanelLeft, this);
    Barriers = new TBarrierInputs(race, *Sequence, this);
    BarrierPort = new TBarrierPort(race, *Barriers, std::move(devices), this);
    ComPort = BarrierPort->ComPort;
    connect(ComPort, &TComPort::OnConditionChanged, this, &TFormMain::ShowPortNotice);
    connect(PanelLeft, &TRaceArea::ImitationClicked, BarrierPort, &TBarrierPort::Imitate);
    CreateHiddenMenu();
    FDlgYesNo = new TFDlgYesNo(this);
    FMonitor2 = new TFormMonitor2(race, PanelLeft->FrameT1, PanelLeft->FrameT2);
    FMonitor2->SetProtocol(SortGrid1->Protocol());
    // The spectators' window takes the operator's keys as well.
    FMonitor2->addActions(HideMenu->actions());
    connect(FMonitor2, &TFormMonitor2::VisibilityChanged, PanelLeft->ImageTVEin,
            &QWidget::setVisible);
    connect(PanelLeft->eTitle, &QLineEdit::textChanged, FMonitor2, &TFormMonitor2::SetTitle);
    connect(Modus1, &QAction::triggered, FMonitor2, &TFormMonitor2::Toggle);
    PanelLeft->ImageTVAus->installEventFilter(this);
    PanelLeft->ImageTVEin->installEventFilter(this);

    CreateFiles();
    Plausibility = new TPlausibility(race, *Sequence, *Barriers, this);
    Recorder = new TJournalRecorder(*Journal, race, *Sequence, *ComPort, *Plausibility,
                                    *SortGrid1->Protocol(), this);
    RunRecorder =
        new TRunRecorder(*Results, race, *Sequence, *Plausibility, *SortGrid1->Protocol(), this);
    Slips = new TTimeSlips(race, *Sequence, *Results, *SortGrid1->Protocol(), this);
    connect(Slips, &TTimeSlips::NoticeChanged, this, &TFormMain::ShowPortNotice);
    connect(SortGrid1->Startliste1, &QAction::triggered, Slips, &TTimeSlips::PrintStartList);
    ConnectProtocolCommands();

    Live = new TLiveResults(race, *SortGrid1->Protocol(), [this] {
        LiveProtocol shown;
        const auto visible = SortGrid1->VisibleColumns();
        shown.visibleColumns = QList<bool>(visible.begin(), visible.end());
        shown.classMode = SortGrid1->ClassMode();
        shown.classList = SortGrid1->ClassList();
        return shown;
    });
    connect(Live, &TLiveResults::AddressChanged, FMonitor2, &TFormMonitor2::ShowLiveAddress);
    connect(Live, &TLiveResults::NoticeChanged, this, &TFormMain::ShowPortNotice);
    connect(PanelLeft->eTitle, &QLineEdit::textChanged, Live, &TLiveResults::SetTitle);
    ConnectResultsViews();

    for (QAction* help : {mHilfe, Hilfe1})
        connect(help, &QAction::triggered, this, &TFormMain::HelpClick);
    connect(Panel1->bHelp, &QToolButton::clicked, this, &TFormMain::HelpClick);

    StartUp();

    // Made after the start-up: its port list comes from the scan.
    CfgDialog = new TCfgDialog(race.settings, PortScan, this);
    TCfgActions actions;
    actions.ApplyClassMode = [this] { SortGrid1->ApplyClassMode(race.settings.Klass); };
    actions.PlaceMonitor = [this] { FMonitor2->Placement(); };
    actions.SetStartLockOut = [this](int ms) { Sequence->TimerGesperrtStart->setInterval(ms); };
    // The component's number follows the choice: "Kein" is what the settings store at exit.
    actions.ClosePort = [this] { OpenPort(0); };
    actions.OpenPort = [this](int port) { OpenPort(port); };
    actions.PortNotice = [this](int port) { return PortNotice(port); };
    actions.ShowBarrierLamps = [this] { HeatControls->ShowBarrierLamps(); };
    actions.FormResize = [this] { FormResize(); };
    actions.OpenLineTest = [this](const TBarrierLayout& barriers) { OpenLineTest(barriers); };
    actions.ApplyLiveResults = [this] { Live->Apply(); };
    actions.LiveNotice = [this](int port) {
        return port == race.settings.LivePort ? Live->Notice() : QString();
    };
    CfgDialog->SetActions(actions);
    Live->Apply();
    connect(Panel1->bCFG, &QToolButton::clicked, this, &TFormMain::bCFGClick);
    connect(EinstellunGen1, &QAction::triggered, this, &TFormMain::bCFGClick);
}

TFormMain::~TFormMain() {
    // The protocol first, then the settings; the port last, so nothing arrives meanwhile.
    SortGrid1->CommitEdit();
    Files->Backup->WriteNow();
    Files->Backup->Flush();
    // The runs after the protocol; what cannot be written by now is lost, and said so.
    if (const QString failure = Results->Close(); !failure.isEmpty())
        std::fprintf(stderr, "%s: %s\n", qPrintable(ProgramTitle()), qPrintable(failure));
    // No box: the desktop may be ending the session and would wait behind it.
    if (const std::optional<QString> failure = StoreSettings())
        std::fprintf(stderr, "%s: %s\n", qPrintable(ProgramTitle()), qPrintable(*failure));
    ComPort->Close();
    Journal->Sync();
    Journal->Flush();
    delete Live;
    delete FMonitor2;
}

void TFormMain::CreateFiles() {
    FileWriter = new TBackgroundWriter(this);
    connect(FileWriter, &TBackgroundWriter::Written, FileNotices, &TFileNotices::Written);
    Files = new TProtocolFiles(*SortGrid1, *PanelLeft->eTitle, race.settings, *this, *FileWriter);
    connect(Sequence, &TRaceSequence::LaneStopped, Files->Backup, &ProtocolBackup::WriteNow);
    connect(Sequence, &TRaceSequence::HeatFinished, Files->Backup, &ProtocolBackup::WriteNow);
    connect(SortGrid1, &TSortGrid::ContentChanged, Files->Backup, &ProtocolBackup::ProtocolChanged);
    connect(Files, &TProtocolFiles::Loaded, this, [this](ProtocolFileKind kind) {
        UpdateProtocolCommands();
        if (kind == ProtocolFileKind::Excel)
            FMonitor2->Placement(); // the start-number labels follow the lane fields already
    });
    const TRaceArea& area = *PanelLeft;
    connect(area.sbSave, &QToolButton::clicked, Files, &TProtocolFiles::sbSaveClick);
    connect(area.sbLoad, &QToolButton::clicked, Files, &TProtocolFiles::sbLoadClick);
    connect(area.sbInet, &QToolButton::clicked, Files, &TProtocolFiles::sbInetClick);
    connect(area.sbPrint, &QToolButton::clicked, Files, &TProtocolFiles::sbPrintClick);
    connect(area.sbExcel, &QToolButton::clicked, Files, &TProtocolFiles::sbExcelClick);
    // The journal lies beside the backup, wherever the backup found room.
    Journal = new TJournal(
        *FileWriter, race.HighResTimer1,
        [this] { return QFileInfo(Files->Backup->FilePath()).absolutePath(); }, ProgramTitle(),
        this);
    Results = new TResultsDatabase(this);
    connect(Results, &TResultsDatabase::Written, FileNotices, &TFileNotices::Written);
}

void TFormMain::ConnectProtocolCommands() {
    // Each goes into the journal after it ran; a command on a row with that row's results. The
    // joker also marks the row's run.
    auto joker = [this](TCommandSource source) {
        Recorder->ProtocolCommand(QStringLiteral("JOKER"), source, SortGrid1->CurrentRow());
        RunRecorder->JokerToggled(SortGrid1->CurrentRow());
    };
    connect(mJoker, &QAction::triggered, this, [joker] { joker(TCommandSource::Key); });
    connect(SortGrid1->Joker1, &QAction::triggered, this, [joker] { joker(TCommandSource::Menu); });
    connect(SortGrid1->Rezultentfernen1, &QAction::triggered, this, [this] {
        Recorder->ProtocolCommand(QStringLiteral("ERGEBNISSE ENTFERNEN"), TCommandSource::Menu);
    });
    connect(PanelLeft->sbNextKrug, &QToolButton::clicked, this, [this] {
        SortGrid1->sbNextKrugClick();
        Recorder->ProtocolCommand(QStringLiteral("FOLGENDES RENNEN"), TCommandSource::Button);
    });
    connect(PanelLeft->sbCLS, &QToolButton::clicked, this, &TFormMain::sbCLSClick);
    connect(Files, &TProtocolFiles::Loaded, this, [this](ProtocolFileKind, const QString& file) {
        Recorder->ProtocolCommand(QStringLiteral("LADEN"), TCommandSource::Button, 0, file);
    });
    connect(SortGrid1, &TSortGrid::JournalRequested, this, &TFormMain::ShowJournal);
    connect(mJournal, &QAction::triggered, this, &TFormMain::ShowJournal);
    // A doubtful time marks its row and shows in the race area until the reset.
    connect(Plausibility, &TPlausibility::Warned, this,
            [this](int, const QString& startNumber, const TPlausibilityWarning& warning) {
                TProtocolModel* protocol = SortGrid1->Protocol();
                protocol->AddMark(protocol->FindStartRow(startNumber), warning.text);
                ShowWarnings();
            });
    connect(Plausibility, &TPlausibility::Cleared, this, &TFormMain::ShowWarnings);
}

void TFormMain::ConnectResultsViews() {
    Views = new TResultsViews(
        race, *Sequence, *Results, *SortGrid1->Protocol(), *Recorder, *FMonitor2, *Live, *Slips,
        [this] { return SortGrid1->ClassList(); }, this);
    HideMenu->insertActions(Beenden1, Views->Keys());
    addActions(Views->Keys());
    FMonitor2->addActions(Views->Keys());
    for (QAction* open : {SortGrid1->mPlatz, SortGrid1->SortierenKlassenZeit1})
        connect(open, &QAction::triggered, Views, &TResultsViews::ShowStandings);
    connect(SortGrid1->Ladder1, &QAction::triggered, Views, &TResultsViews::ShowLadders);
    connect(SortGrid1->Void1, &QAction::triggered, Views,
            [this] { Views->VoidLastHeat(TCommandSource::Menu); });
    auto voidable = [this] { SortGrid1->Void1->setEnabled(Views->mUngueltig->isEnabled()); };
    connect(Views->mUngueltig, &QAction::changed, this, voidable);
    voidable();
}

void TFormMain::ShowWarnings() {
    QStringList lines;
    for (int lane = 1; lane <= 2; ++lane)
        if (const QStringList reasons = Plausibility->Reasons(lane); !reasons.isEmpty())
            lines << QStringLiteral("Bahn %1: ").arg(lane) + reasons.join(QStringLiteral("; "));
    QLabel* label = PanelLeft->LabWarnings;
    label->setText(lines.join(u'\n'));
    label->setToolTip(label->text());
    label->setVisible(!lines.isEmpty());
}

void TFormMain::ShowJournal() {
    if (!JournalViewer) JournalViewer = new TJournalViewer(*Journal, ProgramTitle(), this);
    JournalViewer->Refresh();
    JournalViewer->show();
    JournalViewer->raise();
    JournalViewer->activateWindow();
}

void TFormMain::OpenLineTest(const TBarrierLayout& barriers) {
    if (LineTest) {
        LineTest->raise();
        return;
    }
    // Over the settings when it comes from there; the lines start and stop nothing meanwhile.
    QWidget* over = CfgDialog && CfgDialog->isVisible() ? static_cast<QWidget*>(CfgDialog)
                                                        : static_cast<QWidget*>(this);
    LineTest = new TLineTestDialog(*ComPort, race.HighResTimer1, barriers, over);
    BarrierPort->SetLineTest(true);
    Recorder->LineTest(true);
    connect(LineTest, &QDialog::finished, this, [this] {
        LineTest->deleteLater();
        LineTest = nullptr;
        BarrierPort->SetLineTest(false);
        Recorder->LineTest(false);
    });
    LineTest->open();
}

void TFormMain::HelpClick() {
    SPHTMLHelp::ShowContents(this);
}

void TFormMain::bCFGClick() {
    CfgDialog->Execute();
    PanelLeft->setFocus();
}

void TFormMain::ApplyStoredSettings() {
    QSettings store(QString::fromLatin1(kSettingsOrganization), ProgramTitle());
    TWindowBounds bounds;
    LoadSettings(store, race.settings, bounds, PresentScreens());
    resize(std::max(bounds.Width, kMinWindowWidth), std::max(bounds.Height, kMinWindowHeight));
    if (bounds.HasPosition) move(bounds.Left, bounds.Top);
    PanelLeft->eTitle->setText(race.settings.Title);
    Sequence->TimerGesperrtStart->setInterval(race.settings.WaitStart);
    // Said now, while something can be done about it; at exit it would be too late.
    const QString problem = SettingsWriteProblem(store);
    SettingsNotice = problem.isEmpty() ? QString()
                                       : QStringLiteral("Die Einstellungen können nicht "
                                                        "gespeichert werden: ") +
                                             problem + u'\n' + store.fileName();
    ShowPortNotice();
}

std::optional<QString> TFormMain::StoreSettings() {
    TWindowBounds bounds;
    bounds.Left = x();
    bounds.Top = y();
    bounds.Width = width();
    bounds.Height = height();
    bounds.HasPosition = true;
    QSettings store(QString::fromLatin1(kSettingsOrganization), ProgramTitle());
    return SaveSettings(store, race.settings, bounds);
}

QString TFormMain::PortNotice(int port) const {
    return BarrierPort->Notice(port);
}

void TFormMain::ShowPortNotice() {
    // The bar has room for the most important point: first a file that is not written, as the
    // protocol must not get lost, last the settings, known since the start. The others are in
    // the hint and in the settings.
    Panel1->ShowNotices({FileNotices->Details(), PortNotice(ComPort->Port()),
                         Live ? Live->Notice() : QString(), Slips ? Slips->Notice() : QString(),
                         SettingsNotice});
}

void TFormMain::OpenPort(int port) {
    // The settings keep the port the component has: "Kein" when none could be chosen.
    race.settings.Port = port;
    BarrierPort->Open(port);
    ShowPortNotice();
}

void TFormMain::CreateHiddenMenu() {
    HideMenu = new QMenu(QStringLiteral("HideMenu"), this);
    auto entry = [this](const QString& caption, const QKeySequence& key, bool enabled = true) {
        auto* action = new QAction(caption, this);
        action->setShortcut(key);
        action->setEnabled(enabled);
        return action;
    };
    mAvaria = entry(QStringLiteral("Unfall"), Qt::Key_F4, false);
    Modus1 = entry(QStringLiteral("Modus"), Qt::CTRL | Qt::Key_M);
    Hilfe1 = entry(QStringLiteral("H&ilfe"), Qt::ALT | Qt::Key_I);
    mHilfe = entry(QStringLiteral("Hilfe"), Qt::Key_F1);
    EinstellunGen1 = entry(QStringLiteral("Einstellungen"), Qt::Key_F2);
    est1 = entry(QStringLiteral("Test"), Qt::CTRL | Qt::Key_T);
    Zeileentfernen1 = entry(QStringLiteral("Zeile entfernen"), Qt::CTRL | Qt::Key_0);
    Neu1 = entry(QStringLiteral("Neue zeile"), Qt::CTRL | Qt::Key_N);
    mJoker = entry(QStringLiteral("Jocker"), Qt::CTRL | Qt::Key_J);
    // Consumes Alt+F4 without an action: the window closes by its close button only.
    Beenden1 = entry(QStringLiteral("&Beenden"), Qt::ALT | Qt::Key_F4);
    mJournal = entry(QStringLiteral("Rennjournal"), Qt::Key_F3);

    HideMenu->addActions({Sequence->mStart, Sequence->mFehlstart1, Sequence->mFehlstart2,
                          Sequence->mStop1, Sequence->mStop2, Sequence->mReset, mAvaria, Modus1,
                          Hilfe1, mHilfe, EinstellunGen1, est1, Zeileentfernen1, Neu1, mJoker,
                          Sequence->LockLS1, Sequence->LockLS2, Sequence->LockLS3, Beenden1});
    HideMenu->insertAction(Beenden1, mJournal);
    addActions(HideMenu->actions());

    connect(mAvaria, &QAction::triggered, this, &TFormMain::bAVARIAClick);
    connect(est1, &QAction::triggered, this, &TFormMain::est1Click);
    connect(Zeileentfernen1, &QAction::triggered, SortGrid1, &TSortGrid::RemoveRow);
    connect(Neu1, &QAction::triggered, SortGrid1, &TSortGrid::NewRow);
    connect(mJoker, &QAction::triggered, SortGrid1, &TSortGrid::mJokerClick);
}

void TFormMain::StartUp() {
    TRaceArea& area = *PanelLeft;
    const QString title = ProgramTitle();
    const QString picture = title + QStringLiteral(".jpg");
    area.ImageTitle->setToolTip(picture);
    const QImage image = LoadJpegPicture(picture);
    if (!image.isNull())
        area.ImageTitle->setPixmap(QPixmap::fromImage(
            image.scaled(area.ImageTitle->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    setWindowTitle(title + QStringLiteral(" v 1.1"));
    Sequence->SetStartLight(THeatModel::LightDark);
    auto soundFile = [](const QString& name) {
        const QString path = ProgramFile(name);
        return QFileInfo::exists(path) ? path : QString();
    };
    race.heat.state.StopSoundFile = soundFile(QStringLiteral("stopp.wav"));
    race.heat.state.StartSoundFile = soundFile(QStringLiteral("start.wav"));
    area.eTitle->setText(QStringLiteral("* * *"));
    if (const auto classes = LoadClassList(QDir::currentPath())) {
        area.cbKlass->clear();
        area.cbKlass->addItems(*classes);
        area.cbKlass->setCurrentIndex(0);
    }
    ApplyStoredSettings();
    HeatControls->ShowBarrierLamps();
    area.ImageTVEin->move(area.ImageTVAus->pos());
    area.ImageTVAus->setVisible(QGuiApplication::screens().size() > 1);
    // F8 stops lane 1; the hint must not promise that it clears the protocol.
    area.sbCLS->setToolTip(QStringLiteral("Löschen"));
    area.bAVARIA->setText(QStringLiteral("GESTÜRZT"));
    area.sbLoad->setToolTip(QStringLiteral("Öffnen"));
    PortScan = TComPort::ScanPorts(ComPort->DeviceFactory());
    OpenPort(race.settings.Port);
    SortGrid1->ApplyClassMode(race.settings.Klass);
    if (Files->LoadBackup())
        Recorder->ProtocolCommand(QStringLiteral("LADEN"), TCommandSource::Startup, 0,
                                  Files->Backup->FilePath());
    // Only now is the backup's folder settled, which is the journal's and the results'.
    Journal->Open();
    Results->Open(TResultsDatabase::FileName(QFileInfo(Files->Backup->FilePath()).absolutePath(),
                                             ProgramTitle()));
    UpdateProtocolCommands();
    SortGrid1->SelectRow(SortGrid1->CurrentRow());
}

void TFormMain::UpdateProtocolCommands() {
    const bool content = SortGrid1->Protocol()->HasContent();
    const TRaceArea& area = *PanelLeft;
    for (QToolButton* button : {area.sbCLS, area.sbPrint, area.sbExcel, area.sbSave, area.sbInet})
        button->setEnabled(content);
    area.bAVARIA->SetOperatorButton(content);
    mAvaria->setEnabled(content);
}

void TFormMain::FormResize() {
    const auto widths = ProtocolColumnWidths(race.settings, SortGrid1->viewport()->width());
    for (int column = 0; column < kProtocolColumns; ++column)
        SortGrid1->SetColumnWidth(column, widths[column]);
}

void TFormMain::sbCLSClick() {
    if (!FDlgYesNo->Ask(QStringLiteral("Zeitenprotokoll  löschen?"))) return;
    SortGrid1->ClearProtocol();
    UpdateProtocolCommands();
    Recorder->ProtocolCommand(QStringLiteral("LÖSCHEN"), TCommandSource::Button);
}

void TFormMain::bAVARIAClick() {
    SortGrid1->MarkRowCrashed();
    Recorder->ProtocolCommand(QStringLiteral("GESTÜRZT"), TCommandSource::Key,
                              SortGrid1->CurrentRow());
    RunRecorder->RowCrashed(SortGrid1->CurrentRow());
}

void TFormMain::est1Click() {
    PanelLeft->PanelImit->setVisible(PanelLeft->PanelImit->isHidden());
}

void TFormMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (!SortGrid1) return; // still being built
    const int w = width();
    Panel1->resize(w, TTopBar::kHeight);
    PanelLeft->resize(w, TRaceArea::kHeight);
    const int top = TTopBar::kHeight + TRaceArea::kHeight;
    SortGrid1->setGeometry(0, top, w, height() - top);
    FormResize();
}

void TFormMain::closeEvent(QCloseEvent* event) {
    // Only a running clock makes closing a question: a heat would be lost.
    if (race.heat.Racing() && !FDlgYesNo->Ask(QStringLiteral("Beenden?"))) {
        event->ignore();
        return;
    }
    event->accept();
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
    if (SortGrid1 && watched == SortGrid1->viewport() && event->type() == QEvent::Resize)
        FormResize();
    if (event->type() == QEvent::MouseButtonRelease) {
        if (watched == PanelLeft->ImageTVAus)
            FMonitor2->ShowFromSwitch(this);
        else if (watched == PanelLeft->ImageTVEin)
            FMonitor2->Close();
    }
    return QWidget::eventFilter(watched, event);
}
