#include "MainWindow.h"

#include "Artwork.h"
#include "DlgYesNo.h"
#include "HeatControls.h"
#include "JournalViewer.h"
#include "LaneTimer.h"
#include "Monitor2.h"
#include "base/Program.h"
#include "ProtocolFiles.h"
#include "SignalPlayer.h"
#include "SortGrid.h"
#include "TitlePicture.h"
#include "export/BackgroundWriter.h"
#include "export/FileNotices.h"
#include "export/Journal.h"
#include "export/ProtocolBackup.h"
#include "help/SPHTMLHelp.h"
#include "live/LiveAddress.h"
#include "live/LiveFeed.h"
#include "live/LiveServer.h"
#include "race/BarrierInputs.h"
#include "race/BarrierPort.h"
#include "race/Plausibility.h"
#include "race/RaceSequence.h"
#include "serial/PortNotice.h"
#include "settings/CfgDialog.h"
#include "settings/ClassList.h"
#include "settings/LineTestDialog.h"
#include "settings/SettingsStore.h"
#include "widgets/Fonts.h"
#include "widgets/Led.h"
#include "widgets/OperatorButton.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include <cstdio>

const QString TFormMain::kMakerPage = QStringLiteral("https://www.tempiqo.example/");

namespace {

constexpr int kTopBarHeight = 38;
constexpr int kRaceAreaHeight = 336;
// The race area was laid out for a client width of 792; anchored controls keep their
// distance to its right edge.
constexpr int kDesignWidth = 792;

void Fill(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, color);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

QLabel* Picture(QWidget* parent, const QRect& geometry, const QString& hint = {}) {
    auto* label = new QLabel(parent);
    label->setGeometry(geometry);
    label->setToolTip(hint);
    return label;
}

// The maker's name in two colours with dark shadows, and a blue suffix.
QPixmap LogoPicture() {
    QPixmap pixmap(170, 30);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QFont word = ArialFont(22, true);
    const QFont suffix = ArialFont(13, true);
    struct Part {
        QString text;
        QFont font;
        QColor color;
        bool shadow;
    };
    const Part parts[3] = {{QStringLiteral("Tempi"), word, QColor(0xE0, 0x10, 0x10), true},
                           {QStringLiteral("qo"), word, QColor(0x00, 0x99, 0x00), true},
                           {QStringLiteral(".example"), suffix, QColor(0x00, 0x00, 0xC0), false}};
    int x = 4;
    for (const Part& part : parts) {
        p.setFont(part.font);
        if (part.shadow) {
            p.setPen(Qt::black);
            p.drawText(x + 2, 25, part.text);
        }
        p.setPen(part.color);
        p.drawText(x, 23, part.text);
        x += QFontMetrics(part.font).horizontalAdvance(part.text);
    }
    return pixmap;
}

// A quiet strip around the lane clocks.
QPixmap FrameStrip(int width, int height) {
    QPixmap pixmap(width, height);
    QPainter p(&pixmap);
    QLinearGradient gradient(0, 0, width > height ? 0 : width, width > height ? height : 0);
    gradient.setColorAt(0, QColor(0x40, 0x50, 0x70));
    gradient.setColorAt(1, QColor(0x10, 0x18, 0x30));
    p.fillRect(pixmap.rect(), gradient);
    return pixmap;
}

TOperatorButton* OperatorButton(QWidget* parent, const QString& caption, const QString& hint,
                                const QRect& geometry, const TOperatorButton::Look& look) {
    auto* button = new TOperatorButton(caption, look, parent);
    button->setGeometry(geometry);
    button->setToolTip(hint);
    return button;
}

} // namespace

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
    connect(FileNotices, &TFileNotices::Changed, this, &TFormMain::ShowPortNotice);
    setFont(ArialFont(11));
    Fill(this, QColor(0xA6, 0xCA, 0xF0));
    resize(800, 572);
    setMinimumSize(792, 488);

    CreateTopBar();
    CreateRaceArea();
    CreateProtocolBar();

    SortGrid1 = new TSortGrid(this);
    SortGrid1->SetHeat(&race.heat);
    SortGrid1->SetClassSource(cbKlass);
    // The widths follow the table's client width, which is only known once it is laid out.
    SortGrid1->viewport()->installEventFilter(this);
    connect(SortGrid1, &TSortGrid::ContentChanged, this, &TFormMain::UpdateProtocolCommands);

    Sequence = new TRaceSequence(race, this);
    Sequence->SetProtocol(SortGrid1);
    Sequence->SetSoundPlayer([this](const QString& file) { player_->Play(file); });

    CreateImitationPanel();
    RaceControls controls;
    controls.bSTART = bSTART;
    controls.bSTOP1 = bSTOP1;
    controls.bSTOP2 = bSTOP2;
    controls.bRESET = bRESET;
    controls.bFehlStart1 = bFehlStart1;
    controls.bFehlStart2 = bFehlStart2;
    controls.ImageLSstart = ImageLSstart;
    controls.ImageLSstop1 = ImageLSstop1;
    controls.ImageLSstop2 = ImageLSstop2;
    controls.ImageAmpel = ImageAmpel;
    controls.cbAutomatisch = cbAutomatisch;
    controls.Led = Led;
    HeatControls = new THeatControls(race, *Sequence, controls, this);
    Barriers = new TBarrierInputs(race, *Sequence, this);
    CreatePort(std::move(devices));
    CreateHiddenMenu();
    FDlgYesNo = new TFDlgYesNo(this);
    FMonitor2 = new TFormMonitor2(race, FrameT1, FrameT2);
    FMonitor2->SetProtocol(SortGrid1->Protocol());
    // The spectators' window takes the operator's keys as well.
    FMonitor2->addActions(HideMenu->actions());
    connect(FMonitor2, &TFormMonitor2::VisibilityChanged, ImageTVEin, &QWidget::setVisible);
    connect(eTitle, &QLineEdit::textChanged, FMonitor2, &TFormMonitor2::SetTitle);
    connect(Modus1, &QAction::triggered, FMonitor2, &TFormMonitor2::Toggle);
    ImageTVAus->installEventFilter(this);
    ImageTVEin->installEventFilter(this);

    FileWriter = new TBackgroundWriter(this);
    connect(FileWriter, &TBackgroundWriter::Written, FileNotices, &TFileNotices::Written);
    Files = new TProtocolFiles(*SortGrid1, *eTitle, race.settings, *this, *FileWriter);
    CreateJournal();
    connect(Sequence, &TRaceSequence::LaneStopped, Files->Backup, &ProtocolBackup::WriteNow);
    connect(Sequence, &TRaceSequence::HeatFinished, Files->Backup, &ProtocolBackup::WriteNow);
    connect(SortGrid1, &TSortGrid::ContentChanged, Files->Backup, &ProtocolBackup::ProtocolChanged);
    connect(Files, &TProtocolFiles::Loaded, this, [this](ProtocolFileKind kind) {
        UpdateProtocolCommands();
        if (kind == ProtocolFileKind::Excel)
            FMonitor2->Placement(); // the start-number labels follow the lane fields already
    });
    connect(sbSave, &QToolButton::clicked, Files, &TProtocolFiles::sbSaveClick);
    connect(sbLoad, &QToolButton::clicked, Files, &TProtocolFiles::sbLoadClick);
    connect(sbInet, &QToolButton::clicked, Files, &TProtocolFiles::sbInetClick);
    connect(sbPrint, &QToolButton::clicked, Files, &TProtocolFiles::sbPrintClick);
    connect(sbExcel, &QToolButton::clicked, Files, &TProtocolFiles::sbExcelClick);
    for (QAction* help : {mHilfe, Hilfe1})
        connect(help, &QAction::triggered, this, &TFormMain::HelpClick);
    connect(bHelp, &QToolButton::clicked, this, &TFormMain::HelpClick);

    TimerDate = new QTimer(this);
    TimerDate->setInterval(5000);
    connect(TimerDate, &QTimer::timeout, this, [this] { ShowDate(QDateTime::currentDateTime()); });
    TimerDate->start();

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
    actions.ApplyLiveResults = [this] { ApplyLiveResults(); };
    actions.LiveNotice = [this](int port) {
        return port == race.settings.LivePort ? LiveNotice : QString();
    };
    CfgDialog->SetActions(actions);
    ApplyLiveResults();
    connect(bCFG, &QToolButton::clicked, this, &TFormMain::bCFGClick);
    connect(EinstellunGen1, &QAction::triggered, this, &TFormMain::bCFGClick);
}

void TFormMain::bCFGClick() {
    CfgDialog->Execute();
    PanelLeft->setFocus();
}

TFormMain::~TFormMain() {
    // The protocol first, then the settings; the port last, so nothing arrives meanwhile.
    SortGrid1->CommitEdit();
    Files->Backup->WriteNow();
    Files->Backup->Flush();
    // No box: the desktop may be ending the session and would wait behind it.
    if (const std::optional<QString> failure = StoreSettings())
        std::fprintf(stderr, "%s: %s\n", qPrintable(ProgramTitle()), qPrintable(*failure));
    ComPort->Close();
    Journal->Sync();
    Journal->Flush();
    delete LiveFeed;
    delete LiveServer;
    delete FMonitor2;
}

void TFormMain::CreateJournal() {
    // The journal lies beside the backup, wherever the backup found room.
    Journal = new TJournal(
        *FileWriter, race.HighResTimer1,
        [this] { return QFileInfo(Files->Backup->FilePath()).absolutePath(); }, ProgramTitle(),
        this);
    connect(ComPort, &TComPort::OnLineEvent, this,
            [this](TComPort* sender) { Journal->LineEvent(sender->LastEvent()); });
    auto portName = [this] {
        return ComPortDisplayName(ComPort->Port(), ComPort->Condition().product);
    };
    connect(ComPort, &TComPort::OnOpen, this, [this, portName] {
        const int latency = ComPort->Condition().latencyMs;
        Journal->Port(QStringLiteral("geöffnet"),
                      portName() + (latency >= 0 ? QStringLiteral("; Latenz %1 ms").arg(latency)
                                                 : QString()));
    });
    connect(ComPort, &TComPort::OnClose, this,
            [this, portName] { Journal->Port(QStringLiteral("geschlossen"), portName()); });
    connect(ComPort, &TComPort::OnConditionChanged, this, [this, portName] {
        const TPortCondition& now = ComPort->Condition();
        if (now.lost && !journaledCondition_.lost)
            Journal->Port(QStringLiteral("getrennt"), portName());
        if (now.polled && !journaledCondition_.polled)
            Journal->Port(QStringLiteral("fragt ab"),
                          QStringLiteral("Der Treiber kann nicht auf Änderungen warten"));
        journaledCondition_ = now;
    });

    connect(Sequence, &TRaceSequence::CommandGiven, this,
            [this](TRaceCommand command, int lane, TCommandSource source, qint64 ticks) {
                QString numbers;
                if (command == TRaceCommand::Start)
                    numbers = race.heat.StartNumberText(1) + u'/' + race.heat.StartNumberText(2);
                else if (lane)
                    numbers = race.heat.StartNumberText(lane);
                Journal->Command(RaceCommandName(command), CommandSourceName(source), lane, numbers,
                                 ticks);
                if (command == TRaceCommand::Start) Journal->SetHeatRunning(true);
                if (command == TRaceCommand::Reset) {
                    Journal->SetHeatRunning(false);
                    Journal->Sync();
                }
            });
    connect(Sequence, &TRaceSequence::HeatFinished, this, [this] {
        Journal->SetHeatRunning(false);
        Journal->Sync();
    });
    connect(&race.heat, &THeatModel::LaneResultShown, this,
            [this](int lane, const LaneResult& result) {
                const QString number = race.heat.StartNumberText(lane);
                const TProtocolModel* protocol = SortGrid1->Protocol();
                const int row = protocol->FindStartRow(number);
                QStringList cells;
                if (row)
                    for (int column = kFirstResultColumn; column < kProtocolColumns; ++column)
                        cells << protocol->Cell(row, column);
                else
                    cells = {result.reaction, result.intermediate, result.speed, result.finalTime,
                             QString()};
                Journal->Result(lane, number, race.heat.Lane(lane).stopTicks, cells);
            });

    Plausibility = new TPlausibility(race, *Sequence, *Barriers, this);
    connect(Plausibility, &TPlausibility::Warned, this, &TFormMain::LaneWarned);
    connect(Plausibility, &TPlausibility::Cleared, this, &TFormMain::ShowWarnings);

    // Protocol commands, each after it ran.
    connect(mJoker, &QAction::triggered, this,
            [this] { JournalProtocolCommand(QStringLiteral("JOKER"), TCommandSource::Key, true); });
    connect(SortGrid1->Joker1, &QAction::triggered, this, [this] {
        JournalProtocolCommand(QStringLiteral("JOKER"), TCommandSource::Menu, true);
    });
    connect(SortGrid1->Rezultentfernen1, &QAction::triggered, this, [this] {
        JournalProtocolCommand(QStringLiteral("ERGEBNISSE ENTFERNEN"), TCommandSource::Menu, false);
    });
    connect(sbNextKrug, &QToolButton::clicked, this, [this] {
        JournalProtocolCommand(QStringLiteral("FOLGENDES RENNEN"), TCommandSource::Button, false);
    });
    connect(Files, &TProtocolFiles::Loaded, this, [this](ProtocolFileKind, const QString& file) {
        JournalProtocolCommand(QStringLiteral("LADEN"), TCommandSource::Button, false, file);
    });
    connect(SortGrid1, &TSortGrid::JournalRequested, this, &TFormMain::ShowJournal);
    connect(mJournal, &QAction::triggered, this, &TFormMain::ShowJournal);
}

void TFormMain::JournalProtocolCommand(const QString& name, TCommandSource source, bool row,
                                       const QString& text) {
    QString number;
    QStringList cells;
    if (row) {
        const TProtocolModel* protocol = SortGrid1->Protocol();
        const int current = SortGrid1->CurrentRow();
        number = protocol->Cell(current, ColStartNr);
        for (int column = kFirstResultColumn; column < kProtocolColumns; ++column)
            cells << protocol->Cell(current, column);
    }
    Journal->Command(name, CommandSourceName(source), 0, number, race.HighResTimer1.NowTicks(),
                     cells, text);
}

void TFormMain::LaneWarned(int lane, const QString& startNumber,
                           const TPlausibilityWarning& warning, qint64 ticks) {
    TProtocolModel* protocol = SortGrid1->Protocol();
    protocol->AddMark(protocol->FindStartRow(startNumber), warning.text);
    Journal->Warning(lane, startNumber, ticks, warning.rule, warning.text);
    ShowWarnings();
}

void TFormMain::ShowWarnings() {
    QStringList lines;
    for (int lane = 1; lane <= 2; ++lane)
        if (const QStringList reasons = Plausibility->Reasons(lane); !reasons.isEmpty())
            lines << QStringLiteral("Bahn %1: ").arg(lane) + reasons.join(QStringLiteral("; "));
    LabWarnings->setText(lines.join(u'\n'));
    LabWarnings->setToolTip(LabWarnings->text());
    LabWarnings->setVisible(!lines.isEmpty());
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
    Journal->Port(QStringLiteral("Leitungstest an"), QString());
    connect(LineTest, &QDialog::finished, this, [this] {
        LineTest->deleteLater();
        LineTest = nullptr;
        BarrierPort->SetLineTest(false);
        Journal->Port(QStringLiteral("Leitungstest aus"), QString());
    });
    LineTest->open();
}

void TFormMain::ApplyLiveResults() {
    if (!race.settings.LiveResults) {
        delete LiveFeed;
        LiveFeed = nullptr;
        if (LiveServer) LiveServer->Stop();
        LiveNotice.clear();
        FMonitor2->ShowLiveAddress({});
        ShowPortNotice();
        return;
    }
    if (!LiveServer) {
        LiveServer = new TLiveServer(this);
        connect(LiveServer, &TLiveServer::Listening, this, [this](quint16 port) {
            LiveNotice.clear();
            FMonitor2->ShowLiveAddress(LiveAddress(port));
            ShowPortNotice();
            if (LiveFeed) LiveFeed->PublishAll();
        });
        // The race goes on without the page; the bar says why.
        connect(LiveServer, &TLiveServer::Failed, this, [this](const QString& message) {
            LiveNotice = message;
            FMonitor2->ShowLiveAddress({});
            ShowPortNotice();
        });
    }
    if (!LiveFeed) {
        auto layout = [this] {
            LiveProtocol shown;
            const auto visible = SortGrid1->VisibleColumns();
            shown.visibleColumns = QList<bool>(visible.begin(), visible.end());
            shown.classMode = SortGrid1->ClassMode();
            shown.classList = SortGrid1->ClassList();
            return shown;
        };
        LiveFeed = new TLiveFeed(race, *SortGrid1->Protocol(), layout, LiveServer, this);
        LiveFeed->SetTitle(eTitle->text());
        connect(eTitle, &QLineEdit::textChanged, LiveFeed, &TLiveFeed::SetTitle);
    }
    // The columns shown may have changed with the settings.
    LiveFeed->ProtocolChanged();
    if (!LiveServer->IsListening() || LiveServer->Port() != race.settings.LivePort)
        LiveServer->Start(quint16(race.settings.LivePort));
}

void TFormMain::HelpClick() {
    SPHTMLHelp::ShowContents(this);
}

void TFormMain::ApplyStoredSettings() {
    QSettings store(QString::fromLatin1(kSettingsOrganization), ProgramTitle());
    TWindowBounds bounds;
    LoadSettings(store, race.settings, bounds, PresentScreens());
    resize(std::max(bounds.Width, kMinWindowWidth), std::max(bounds.Height, kMinWindowHeight));
    if (bounds.HasPosition) move(bounds.Left, bounds.Top);
    eTitle->setText(race.settings.Title);
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
    race.settings.Title = eTitle->text();
    race.settings.Port = ComPort->Port();
    race.settings.WaitStart = Sequence->TimerGesperrtStart->interval();
    TWindowBounds bounds;
    bounds.Left = x();
    bounds.Top = y();
    bounds.Width = width();
    bounds.Height = height();
    bounds.HasPosition = true;
    QSettings store(QString::fromLatin1(kSettingsOrganization), ProgramTitle());
    return SaveSettings(store, race.settings, bounds);
}

void TFormMain::CreateImitationPanel() {
    auto button = [this](const QString& caption, const QString& hint, int top) {
        auto* b = new QPushButton(caption, PanelImit);
        b->setGeometry(4, top, 77, 26);
        b->setToolTip(hint);
        b->setFocusPolicy(Qt::NoFocus);
        return b;
    };
    bImit1 = button(QStringLiteral("7+8"), QStringLiteral("Ampel-Kontakt-Start"), 8);
    bImit2 =
        button(QStringLiteral("1+4 (1.)"), QStringLiteral("1.Reakt/Zwisch/TopSpeed/Stopp"), 78);
    bImit3 =
        button(QStringLiteral("4+6 (2.)"), QStringLiteral("2.Reakt/Zwisch/TopSpeed/Stopp"), 158);
    const QString hints[9] = {
        QStringLiteral("Ampel-Kontakt-Start"), QStringLiteral("Reaktion-LS1"),
        QStringLiteral("LS-Zwischzeit 1"),     QStringLiteral("TopSpeed-LS 1"),
        QStringLiteral("Stopp-LS 1"),          QStringLiteral("Reaktion-LS2"),
        QStringLiteral("LS-Zwischzeit 2"),     QStringLiteral("TopSpeed-LS 2"),
        QStringLiteral("Stopp-LS 2")};
    for (int i = 0; i < 9; ++i) {
        Led[i] = new TLed(PanelImit);
        Led[i]->SetKind(lkGreen);
        Led[i]->setToolTip(hints[i]);
    }
    Led[0]->move(34, 40);
    // One row per lane under its button, event 1 at the left.
    for (int k = 1; k <= 4; ++k) {
        Led[k]->move(4 + (k - 1) * 20, 110);
        Led[k + 4]->move(4 + (k - 1) * 20, 190);
    }
    auto* caption = new QLabel(QStringLiteral("LS IMIT"), PanelImit);
    caption->setGeometry(0, 228, 85, 20);
    caption->setAlignment(Qt::AlignCenter);
    caption->setFont(ArialFont(12, true));
    int tag = 1;
    for (QPushButton* b : {bImit1, bImit2, bImit3})
        connect(b, &QPushButton::clicked, this, [this, t = tag++] { BarrierPort->Imitate(t); });
}

void TFormMain::CreatePort(TSerialDeviceFactory devices) {
    BarrierPort = new TBarrierPort(race, *Barriers, std::move(devices), this);
    ComPort = BarrierPort->ComPort;
    connect(ComPort, &TComPort::OnConditionChanged, this, &TFormMain::ShowPortNotice);
}

QString TFormMain::PortNotice(int port) const {
    return BarrierPort->Notice(port);
}

void TFormMain::ShowPortNotice() {
    // The bar has room for the most important point: first a file that is not written, as the
    // protocol must not get lost, last the settings, known since the start. The others are in
    // the hint and in the settings.
    QStringList notices = {FileNotices->Details(), PortNotice(ComPort->Port()), LiveNotice,
                           SettingsNotice};
    notices.removeAll(QString());
    const QString text = notices.join(u'\n');
    LabPortNotice->setText(text.section(u'\n', 0, 0));
    LabPortNotice->setToolTip(text);
    LabPortNotice->setVisible(!text.isEmpty());
}

void TFormMain::OpenPort(int port) {
    BarrierPort->Open(port);
    ShowPortNotice();
}

void TFormMain::CreateTopBar() {
    Panel1 = new QWidget(this);
    Panel1->setGeometry(0, 0, width(), kTopBarHeight);
    bHelp = new QToolButton(Panel1);
    bHelp->setGeometry(4, 3, 32, 32);
    bHelp->setIcon(ThemeIcon(QStringLiteral("help-browser"), u'?'));
    bHelp->setIconSize(QSize(22, 22));
    bHelp->setToolTip(QStringLiteral("Hilfe (F1)"));
    bHelp->setAutoRaise(true);
    bCFG = new QToolButton(Panel1);
    bCFG->setGeometry(38, 3, 32, 32);
    bCFG->setIcon(ThemeIcon(QStringLiteral("preferences-system"), u'⚙'));
    bCFG->setIconSize(QSize(22, 22));
    bCFG->setToolTip(QStringLiteral("Einstellungen (F2)"));
    bCFG->setAutoRaise(true);

    LabelLogo = new QLabel(Panel1);
    LabelLogo->setGeometry(90, 4, 170, 30);
    LabelLogo->setPixmap(LogoPicture());
    LabelLogo->setCursor(Qt::PointingHandCursor);
    LabelLogo->setToolTip(kMakerPage);
    LabelLogo->installEventFilter(this);

    LabPortNotice = new QLabel(Panel1);
    LabPortNotice->setWordWrap(true);
    LabPortNotice->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    LabPortNotice->setFont(ArialFont(10, true));
    LabPortNotice->setFrameStyle(QFrame::Box | QFrame::Plain);
    LabPortNotice->setMargin(2);
    LabPortNotice->setCursor(Qt::PointingHandCursor); // a click puts it away
    LabPortNotice->setStyleSheet(QStringLiteral(
        "QLabel { background: #FFF2B0; color: #900000; border: 1px solid #C08000; }"));
    LabPortNotice->installEventFilter(this);
    LabPortNotice->hide();

    PanelDate = new QLabel(QStringLiteral("00:00"), Panel1);
    PanelDate->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    PanelDate->setAlignment(Qt::AlignCenter);
    PanelDate->setFont(ArialFont(24));
    Fill(PanelDate, Qt::black);
    QPalette palette = PanelDate->palette();
    palette.setColor(QPalette::WindowText, QColor(0xC0, 0xC0, 0xC0));
    PanelDate->setPalette(palette);
}

void TFormMain::CreateRaceArea() {
    PanelLeft = new QWidget(this);
    PanelLeft->setGeometry(0, kTopBarHeight, width(), kRaceAreaHeight);

    // Behind everything else in the area: the buttons lie over the picture.
    ImageTitle = Picture(PanelLeft, QRect(532, 40, 254, 148));
    ImageTitle->setAlignment(Qt::AlignCenter);

    eTitle = new QLineEdit(QStringLiteral("* * *"), PanelLeft);
    eTitle->setGeometry(400, 2, 390, 30);
    eTitle->setToolTip(QStringLiteral("Titel"));
    eTitle->setFont(ArialFont(19, true));

    // Three strips frame the lane clocks.
    Picture(PanelLeft, QRect(7, 20, 12, 282))->setPixmap(FrameStrip(12, 282));
    Picture(PanelLeft, QRect(7, 8, 386, 12))->setPixmap(FrameStrip(386, 12));
    Picture(PanelLeft, QRect(7, 302, 386, 6))->setPixmap(FrameStrip(386, 6));

    FrameT1 = new TFrame1(race, 1, PanelLeft);
    FrameT1->move(19, 20);
    FrameT2 = new TFrame1(race, 2, PanelLeft);
    FrameT2->move(19, 159);

    const TOperatorButton::Look start = {QColor(0x00, 0x80, 0x00),
                                         QColor(0x80, 0xFF, 0x80),
                                         QColor(0x00, 0xC0, 0x00),
                                         QColor(0xC0, 0xFF, 0xC0),
                                         QColor(0x00, 0xC0, 0x00),
                                         Qt::white,
                                         Qt::yellow};
    const TOperatorButton::Look stop = {QColor(0xFF, 0x00, 0x00),
                                        QColor(0xFF, 0x80, 0x80),
                                        QColor(0xFF, 0xB0, 0xB0),
                                        QColor(0xFF, 0x90, 0x90),
                                        QColor(0xC0, 0x00, 0x00),
                                        Qt::white,
                                        Qt::yellow};
    const TOperatorButton::Look reset = {QColor(0x80, 0x80, 0x80),
                                         QColor(0xC0, 0xC0, 0xC0),
                                         QColor(),
                                         QColor(0x00, 0x00, 0x00),
                                         QColor(),
                                         Qt::white,
                                         Qt::yellow};
    const TOperatorButton::Look falseStart = {QColor(0x80, 0x80, 0x00),
                                              QColor(0xFF, 0xFF, 0xFF),
                                              QColor(),
                                              QColor(0xFF, 0xFF, 0x00),
                                              QColor(),
                                              Qt::red,
                                              Qt::red};
    bSTART = OperatorButton(PanelLeft, QStringLiteral("START"), QStringLiteral("F5"),
                            QRect(400, 42, 98, 40), start);
    bSTOP1 = OperatorButton(PanelLeft, QStringLiteral("STOPP 1"), QStringLiteral("F8"),
                            QRect(400, 105, 98, 40), stop);
    bSTOP2 = OperatorButton(PanelLeft, QStringLiteral("STOPP 2"), QStringLiteral("F9"),
                            QRect(400, 249, 98, 40), stop);
    bFehlStart1 = OperatorButton(PanelLeft, QStringLiteral("Fehlstart 1"), QStringLiteral("F6"),
                                 QRect(532, 105, 125, 40), falseStart);
    bFehlStart2 = OperatorButton(PanelLeft, QStringLiteral("Fehlstart 2"),
                                 QStringLiteral("Strg+F6"), QRect(532, 249, 125, 40), falseStart);
    bRESET = OperatorButton(PanelLeft, QStringLiteral("0,000"), QStringLiteral("F7"),
                            QRect(532, 152, 125, 40), reset);
    bAVARIA = OperatorButton(PanelLeft, QString(), QStringLiteral("F4"), QRect(400, 152, 98, 40),
                             falseStart);
    bAVARIA->hide(); // reached by F4 only
    bFehlStart1->hide();
    bFehlStart2->hide();
    for (TOperatorButton* button : {bSTOP1, bSTOP2, bRESET})
        button->SetOperatorButton(false);

    ImageLSstart =
        Picture(PanelLeft, QRect(504, 51, 22, 22), QStringLiteral("Blockieren LS START (F10)"));
    ImageLSstop1 =
        Picture(PanelLeft, QRect(504, 115, 22, 22), QStringLiteral("Blockieren LS STOPP1 (F11)"));
    ImageLSstop2 =
        Picture(PanelLeft, QRect(504, 259, 22, 22), QStringLiteral("Blockieren LS STOPP2 (F12)"));
    for (QLabel* image : {ImageLSstart, ImageLSstop1, ImageLSstop2}) {
        image->setCursor(Qt::PointingHandCursor);
        image->hide(); // shown while the barrier port is open
    }
    ImageAmpel = Picture(PanelLeft, QRect(532, 35, 64, 64));
    ImageAmpel->setScaledContents(true);

    cbAutomatisch = new QCheckBox(PanelLeft);
    cbAutomatisch->move(510, 164);
    cbAutomatisch->setToolTip(QStringLiteral("Automatische Umschaltung in 5 Sekunden"));

    cbKlass = new QComboBox(PanelLeft);
    cbKlass->setGeometry(602, 50, 55, 22);
    cbKlass->addItems({"1", "2", "3", "4"});
    cbKlass->hide();

    ImageTVAus = Picture(PanelLeft, QRect(132, 310, 90, 20), QStringLiteral("Strg+M"));
    ImageTVAus->setPixmap(TvSwitchPicture(false));
    ImageTVEin = Picture(PanelLeft, QRect(20, 310, 90, 20), QStringLiteral("Strg+M"));
    ImageTVEin->setPixmap(TvSwitchPicture(true));
    ImageTVAus->hide();
    ImageTVEin->hide();

    // Between the reset and the second lane's buttons: what the last lane stop looked like.
    LabWarnings = new QLabel(PanelLeft);
    LabWarnings->setGeometry(400, 195, 300, 52);
    LabWarnings->setWordWrap(true);
    LabWarnings->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    LabWarnings->setFont(ArialFont(10, true));
    LabWarnings->setMargin(2);
    LabWarnings->setStyleSheet(QStringLiteral(
        "QLabel { background: #FFF2B0; color: #900000; border: 1px solid #C08000; }"));
    LabWarnings->hide();

    PanelImit = new QWidget(PanelLeft);
    PanelImit->setGeometry(704, 36, 85, 257);
    PanelImit->setToolTip(QStringLiteral("Lichtschranken Imitation"));
    Fill(PanelImit, QColor(0xD4, 0xD0, 0xC8));
    PanelImit->hide();
}

void TFormMain::CreateProtocolBar() {
    Panel4 = new QLabel(QStringLiteral("       Protokoll"), PanelLeft);
    Panel4->setGeometry(394, 293, 391, 43);
    Panel4->setAlignment(Qt::AlignCenter);
    Panel4->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel4->setFont(ArialFont(13, true));
    Fill(Panel4, QColor(0xD4, 0xD0, 0xC8));
    struct Entry {
        QToolButton** button;
        int left;
        QString hint;
        QString icon;
        QChar glyph;
    };
    const Entry entries[] = {
        {&sbLoad, 1, QString(), QStringLiteral("document-open"), u'O'},
        {&sbSave, 37, QStringLiteral("Speichern unter..."), QStringLiteral("document-save-as"),
         u'S'},
        {&sbExcel, 73, QStringLiteral("Datei in MS Excel"), QStringLiteral("x-office-spreadsheet"),
         u'X'},
        {&sbInet, 108, QStringLiteral("Als Webseite"), QStringLiteral("web-browser"), u'W'},
        {&sbNextKrug, 282, QStringLiteral("Folgenden Rennen"), QStringLiteral("go-next"), u'>'},
        {&sbPrint, 318, QStringLiteral("Drucken"), QStringLiteral("document-print"), u'P'},
        {&sbCLS, 354, QString(), QStringLiteral("edit-clear-all"), u'C'},
    };
    for (const Entry& entry : entries) {
        auto* button = new QToolButton(Panel4);
        button->setGeometry(entry.left, 2, 36, 39);
        button->setToolTip(entry.hint);
        button->setIcon(ThemeIcon(entry.icon, entry.glyph));
        button->setIconSize(QSize(24, 24));
        button->setAutoRaise(true);
        *entry.button = button;
    }
    sbPrint->setProperty("Tag", 1);
    connect(sbNextKrug, &QToolButton::clicked, this, [this] { SortGrid1->sbNextKrugClick(); });
    connect(sbCLS, &QToolButton::clicked, this, &TFormMain::sbCLSClick);
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
    const QString title = ProgramTitle();
    const QString picture = title + QStringLiteral(".jpg");
    ImageTitle->setToolTip(picture);
    const QImage image = LoadJpegPicture(picture);
    if (!image.isNull())
        ImageTitle->setPixmap(QPixmap::fromImage(
            image.scaled(ImageTitle->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    setWindowTitle(title + QStringLiteral(" v 1.1"));
    Sequence->SetStartLight(2);
    auto soundFile = [](const QString& name) {
        const QString path = ProgramFile(name);
        return QFileInfo::exists(path) ? path : QString();
    };
    race.heat.state.StopSoundFile = soundFile(QStringLiteral("stopp.wav"));
    race.heat.state.StartSoundFile = soundFile(QStringLiteral("start.wav"));
    eTitle->setText(QStringLiteral("* * *"));
    if (const auto classes = LoadClassList(QDir::currentPath())) {
        cbKlass->clear();
        cbKlass->addItems(*classes);
        cbKlass->setCurrentIndex(0);
    }
    ApplyStoredSettings();
    HeatControls->ShowBarrierLamps();
    ImageTVEin->move(ImageTVAus->pos());
    ImageTVAus->setVisible(QGuiApplication::screens().size() > 1);
    // F8 stops lane 1; the hint must not promise that it clears the protocol.
    sbCLS->setToolTip(QStringLiteral("Löschen"));
    bAVARIA->setText(QStringLiteral("GESTÜRZT"));
    sbLoad->setToolTip(QStringLiteral("Öffnen"));
    PortScan = TComPort::ScanPorts(ComPort->DeviceFactory());
    PortsPresent = PortScan.present;
    ShowDate(QDateTime::currentDateTime());
    OpenPort(race.settings.Port);
    SortGrid1->ApplyClassMode(race.settings.Klass);
    if (Files->LoadBackup())
        JournalProtocolCommand(QStringLiteral("LADEN"), TCommandSource::Startup, false,
                               Files->Backup->FilePath());
    // Only now is the backup's folder settled, which is the journal's.
    Journal->Open();
    UpdateProtocolCommands();
    SortGrid1->SelectRow(SortGrid1->CurrentRow());
}

void TFormMain::UpdateProtocolCommands() {
    const bool content = SortGrid1->Protocol()->HasContent();
    for (QToolButton* button : {sbCLS, sbPrint, sbExcel, sbSave, sbInet})
        button->setEnabled(content);
    bAVARIA->SetOperatorButton(content);
    mAvaria->setEnabled(content);
}

void TFormMain::FormResize() {
    const auto widths = ProtocolColumnWidths(race.settings, SortGrid1->viewport()->width());
    for (int column = 0; column < kProtocolColumns; ++column)
        SortGrid1->SetColumnWidth(column, widths[column]);
    eTitle->resize(width() - eTitle->x() - 2, eTitle->height());
}

void TFormMain::ShowDate(const QDateTime& now) {
    const QLocale locale;
    PanelDate->setText(locale.toString(now.date(), QLocale::ShortFormat) + QStringLiteral("   ") +
                       locale.toString(now.time(), QLocale::ShortFormat));
}

void TFormMain::sbCLSClick() {
    if (!FDlgYesNo->Ask(QStringLiteral("Zeitenprotokoll  löschen?"))) return;
    SortGrid1->ClearProtocol();
    UpdateProtocolCommands();
    JournalProtocolCommand(QStringLiteral("LÖSCHEN"), TCommandSource::Button, false);
}

void TFormMain::bAVARIAClick() {
    SortGrid1->MarkRowCrashed();
    JournalProtocolCommand(QStringLiteral("GESTÜRZT"), TCommandSource::Key, true);
}

void TFormMain::est1Click() {
    PanelImit->setVisible(PanelImit->isHidden());
}

void TFormMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (!SortGrid1) return; // still being built
    const int w = width();
    Panel1->resize(w, kTopBarHeight);
    PanelDate->setGeometry(w - 222, 2, 222, kTopBarHeight - 4);
    const int noticeLeft = LabelLogo->geometry().right() + 6;
    LabPortNotice->setGeometry(noticeLeft, 2, w - 222 - 4 - noticeLeft, kTopBarHeight - 4);
    PanelLeft->resize(w, kRaceAreaHeight);
    Panel4->resize(w - 394 - (kDesignWidth - 785), Panel4->height());
    for (QToolButton* button : {sbNextKrug, sbPrint, sbCLS})
        button->move(Panel4->width() - (391 - (button == sbNextKrug ? 282
                                               : button == sbPrint  ? 318
                                                                    : 354)),
                     button->y());
    PanelImit->move(w - (kDesignWidth - 704), PanelImit->y());
    LabWarnings->resize(PanelImit->x() - 4 - LabWarnings->x(), LabWarnings->height());
    const int top = kTopBarHeight + kRaceAreaHeight;
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
        if (watched == LabelLogo)
            QDesktopServices::openUrl(QUrl(kMakerPage));
        else if (watched == LabPortNotice)
            LabPortNotice->hide();
        else if (watched == ImageTVAus)
            FMonitor2->ShowFromSwitch(this);
        else if (watched == ImageTVEin)
            FMonitor2->Close();
    }
    return QWidget::eventFilter(watched, event);
}
