#pragma once

#include <QDateTime>
#include <QWidget>

class QLabel;
class QTimer;
class QToolButton;

// The bar across the top of the operator's window: help and settings, the maker's logo, the
// notices the operator must see, and the date and time.
class TTopBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 38;
    // The maker's web page, opened by the logo.
    static const QString kMakerPage;

    explicit TTopBar(QWidget* parent);

    // The notices, most important first: the first line is shown, all of them in the hint.
    void ShowNotices(const QStringList& notices);
    void ShowDate(const QDateTime& now);

    QToolButton* bHelp;
    QToolButton* bCFG;
    QLabel* LabelLogo;
    // What the operator must know (files, the barrier port, the page, the settings): shown,
    // never asked; a click puts it away.
    QLabel* LabPortNotice;
    QLabel* PanelDate;
    QTimer* TimerDate;

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};
