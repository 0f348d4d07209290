#pragma once

#include "results/Standings.h"

#include <QWidget>

class QTimer;

// The standings on the spectators' screen between heats: each class in large type, one page
// after the other when they do not fit, a page every few seconds.
class TTvStandingsPage : public QWidget {
    Q_OBJECT
public:
    static constexpr int kPageMs = 8000;
    // Lines of text a page holds, headings included; the type is sized to fit them.
    static constexpr int kLinesPerPage = 14;

    explicit TTvStandingsPage(QWidget* parent);

    void SetStandings(const TStandings& standings, const QString& title);
    int PageCount() const { return int(pages_.size()); }
    int CurrentPage() const { return page_; }
    // The page after this one, the first after the last.
    void NextPage();
    // The lines of a page, as they are drawn: a heading, or the cells of a racer.
    QList<QStringList> PageLines(int page) const { return pages_.value(page); }

    QTimer* TimerPage;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QList<QList<QStringList>> pages_;
    QString title_;
    int page_ = 0;
};
