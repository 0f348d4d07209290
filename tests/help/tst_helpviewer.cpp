#include "TestMain.h"

#include "help/HtmlHelpAPI.h"
#include "help/SPHTMLHelp.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

#include <algorithm>

namespace {

bool WriteFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QByteArray LongPage() {
    QByteArray page = "<html><head><title>Rennuhr Hilfe</title></head><body><h1>Inhalt</h1>";
    for (int i = 0; i < 80; ++i)
        page += "<p>Absatz " + QByteArray::number(i) + "</p>";
    page += "<h2 id=\"tasten\">Tasten</h2><p>F5 startet den Lauf.</p>";
    for (int i = 0; i < 80; ++i)
        page += "<p>Noch ein Absatz</p>";
    page += "</body></html>";
    return page;
}

bool AnyMessageBoxShown() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (qobject_cast<QMessageBox*>(widget) && widget->isVisible()) return true;
    return false;
}

// The viewer, started up for one test and shut down with it.
struct Help {
    bool available;
    explicit Help(const SPHTMLHelp::EngineFactory& factory = {})
        : available(SPHTMLHelp::StartUp(factory)) {}
    ~Help() { SPHTMLHelp::Shutdown(); }
    TSPHelpViewer* viewer() const { return SPHTMLHelp::Viewer(); }
    THtmlHelpWindow* engine() const { return viewer()->Engine(); }
};

} // namespace

class HelpViewerTest : public QObject {
    Q_OBJECT
private slots:
    void f1ShowsTheContentsBesideTheOwnerAndReturns() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("Rennuhr.hlp"));
        QVERIFY(WriteFile(file, LongPage()));
        Help help;
        QVERIFY(help.viewer()->HelpFile().endsWith(QStringLiteral("/test_help.hlp")));
        help.viewer()->SetHelpFile(file);

        QWidget owner;
        owner.setGeometry(0, 0, 200, 200);
        QAction f1(&owner);
        f1.setShortcut(QKeySequence(Qt::Key_F1));
        QObject::connect(&f1, &QAction::triggered, &owner,
                         [&owner] { SPHTMLHelp::ShowContents(&owner); });
        owner.addAction(&f1);
        owner.show();
        QVERIFY(QTest::qWaitForWindowActive(&owner));

        QTest::keyClick(&owner, Qt::Key_F1); // a modal window would never return here
        THtmlHelpWindow* window = help.engine();
        QVERIFY(window->isVisible());
        QCOMPARE(window->ShownFile(), QFileInfo(file).absoluteFilePath());
        QCOMPARE(window->windowTitle(), QStringLiteral("Rennuhr Hilfe"));
        QVERIFY(window->geometry().left() > owner.frameGeometry().right()); // beside it
        QVERIFY(!window->testAttribute(Qt::WA_QuitOnClose));

        // F1 again while it is open: the same window, back at the contents page.
        window->Browser->verticalScrollBar()->setValue(200);
        QTest::keyClick(&owner, Qt::Key_F1);
        QCOMPARE(window->Browser->verticalScrollBar()->value(), 0);
        const QWidgetList windows = QApplication::topLevelWidgets();
        QCOMPARE(std::count_if(windows.begin(), windows.end(),
                               [](QWidget* w) { return qobject_cast<THtmlHelpWindow*>(w); }),
                 1);
    }

    void aMissingHelpFileDoesNothingSilently() {
        QTemporaryDir dir;
        Help help;
        QWidget owner;
        help.viewer()->SetHelpFile(dir.filePath(QStringLiteral("Rennuhr.hlp")));
        SPHTMLHelp::ShowContents(&owner);
        help.viewer()->ShowHelp(&owner, QStringLiteral("Start"));
        // A folder of that name is no help file either.
        help.viewer()->ShowTableOfContents(&owner, dir.path());
        QVERIFY(!help.engine()->isVisible());
        QVERIFY(help.engine()->ShownFile().isEmpty());
        QVERIFY(!AnyMessageBoxShown());
    }

    void requestsReachTheirPlaceInTheFile() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("Heat.hlp"));
        const QString other = dir.filePath(QStringLiteral("zwei.html"));
        QVERIFY(WriteFile(file, LongPage()));
        QVERIFY(WriteFile(other, "<html><body><p>Seite zwei</p></body></html>"));
        Help help;
        QWidget owner;
        TSPHelpViewer* viewer = help.viewer();
        QCOMPARE(viewer->GetViewerName(), QStringLiteral("HtmlHelp"));
        QCOMPARE(viewer->GetHelpStrings(QStringLiteral("Start")),
                 QStringList{QStringLiteral("Start: HtmlHelp")});
        THtmlHelpWindow* window = help.engine();
        QTextBrowser* browser = window->Browser;

        // A file named with the request wins over the program's own.
        viewer->SetHelpFile(dir.filePath(QStringLiteral("fehlt.hlp")));
        viewer->ShowHelp(&owner, QStringLiteral("startet"), file);
        QVERIFY(window->isVisible());
        QCOMPARE(browser->textCursor().selectedText(), QStringLiteral("startet"));

        viewer->DisplayTopic(&owner, QStringLiteral("zwei.html"), file);
        QCOMPARE(browser->source(), QUrl::fromLocalFile(QFileInfo(other).absoluteFilePath()));

        viewer->Release();
        QVERIFY(!window->isVisible());
        viewer->ShowTableOfContents(&owner, file); // released: shows nothing any more
        QVERIFY(!window->isVisible());
    }

    void startUpIsCountedAndShutdownDestroysTheWindow() {
        QVERIFY(SPHTMLHelp::StartUp());
        QPointer<THtmlHelpWindow> window = SPHTMLHelp::Viewer()->Engine();
        QVERIFY(SPHTMLHelp::StartUp());
        SPHTMLHelp::Shutdown();
        QCOMPARE(SPHTMLHelp::Viewer()->Engine(), window.data());
        SPHTMLHelp::Shutdown();
        QVERIFY(!SPHTMLHelp::Viewer());
        QVERIFY(window.isNull());
        SPHTMLHelp::Shutdown(); // one too many: harmless
    }

    void noEngineWarnsOnceAtStartUp() {
        Help help([]() -> THtmlHelpWindow* { return nullptr; });
        QVERIFY(!help.available);
        SPHTMLHelp::ShowContents(nullptr); // later requests reach nothing

        QString text, title;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            text = box->text();
            title = box->windowTitle();
            icon = box->icon();
            box->accept();
        });
        QVERIFY(SPHTMLHelp::WarnIfUnavailable());
        QCOMPARE(text, QStringLiteral("Unable to view HTML help (*.chm). Update windows help "
                                      "system. Get new \"HHCTRL.OCX\" library."));
        QCOMPARE(title, QStringLiteral("Warning!"));
        QCOMPARE(icon, QMessageBox::Warning);
        QVERIFY(!SPHTMLHelp::WarnIfUnavailable());
    }

    void theShippedPageOpensAndItsLinksLead() {
        const QString page = QFINDTESTDATA("../../help/Rennuhr.html");
        QVERIFY(!page.isEmpty());
        Help help;
        help.viewer()->ShowTableOfContents(nullptr, page);
        QVERIFY(help.engine()->isVisible());
        QCOMPARE(help.engine()->windowTitle(), QStringLiteral("Rennuhr – Hilfe"));

        QFile file(page);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(file.readAll());
        QStringList anchors;
        for (const auto& m :
             QRegularExpression(QStringLiteral("id=\"([^\"]+)\"")).globalMatch(html))
            anchors << m.captured(1);
        int links = 0;
        for (const auto& m :
             QRegularExpression(QStringLiteral("href=\"#([^\"]+)\"")).globalMatch(html)) {
            ++links;
            QVERIFY2(anchors.contains(m.captured(1)), qPrintable(m.captured(1)));
        }
        QVERIFY(links >= 10);
    }
};

RENNUHR_TEST(HelpViewerTest);

#include "tst_helpviewer.moc"
