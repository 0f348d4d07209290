#include "SettingsStore.h"

#include "export/SaveBytes.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <functional>

namespace {

// A double word: a number of the store's own type, or a text that parses as a 32-bit
// integer. Values above the signed range wrap as the registry's unsigned double word does.
std::optional<int> ReadDword(const QSettings& store, const QString& name) {
    const QVariant value = store.value(name);
    qint64 number = 0;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
        number = value.toLongLong();
        break;
    case QMetaType::UInt:
    case QMetaType::ULongLong: {
        const quint64 unsignedNumber = value.toULongLong();
        if (unsignedNumber > 0xFFFFFFFFu) return std::nullopt;
        number = qint64(unsignedNumber);
        break;
    }
    case QMetaType::QString: {
        bool ok = false;
        number = value.toString().toLongLong(&ok, 10);
        if (!ok) return std::nullopt;
        break;
    }
    default: // missing, or of another type
        return std::nullopt;
    }
    if (number < qint64(INT32_MIN) || number > qint64(UINT32_MAX)) return std::nullopt;
    return int(qint32(quint32(quint64(number))));
}

// Missing reads as an empty text; an INI line with an unquoted comma comes back as a list.
std::optional<QString> ReadText(const QSettings& store, const QString& name) {
    const QVariant value = store.value(name);
    switch (value.typeId()) {
    case QMetaType::UnknownType:
        return QString();
    case QMetaType::QString:
        return value.toString();
    case QMetaType::QStringList:
        return value.toStringList().join(QStringLiteral(", "));
    default:
        return std::nullopt;
    }
}

// Applies values one by one until the first one that cannot be read.
class Reader {
public:
    explicit Reader(const QSettings& store) : store_(store) {}

    void Dword(const char* name, const std::function<void(int)>& apply) {
        if (stopped_) return;
        const auto value = ReadDword(store_, QLatin1String(name));
        if (value)
            apply(*value);
        else
            stopped_ = true;
    }
    void Flag(const char* name, bool& field) {
        Dword(name, [&](int value) { field = value != 0; });
    }
    void Text(const char* name, QString& field) {
        if (stopped_) return;
        const auto value = ReadText(store_, QLatin1String(name));
        if (value)
            field = *value;
        else
            stopped_ = true;
    }

private:
    const QSettings& store_;
    bool stopped_ = false;
};

// The caption strip must show on some screen, wide enough to grab and drag the window.
// Computed in 64 bits: a stored edge may be anywhere in the 32-bit range.
bool PositionVisible(const TWindowBounds& bounds, const QList<QRect>& screens) {
    constexpr qint64 captionHeight = 24;
    constexpr qint64 minGrabWidth = 48;
    const qint64 left = bounds.Left, top = bounds.Top;
    const qint64 right = left + bounds.Width, bottom = top + captionHeight;
    for (const QRect& screen : screens) {
        const qint64 seenWidth = std::min(right, qint64(screen.x()) + screen.width()) -
                                 std::max(left, qint64(screen.x()));
        const qint64 seenHeight = std::min(bottom, qint64(screen.y()) + screen.height()) -
                                  std::max(top, qint64(screen.y()));
        if (seenWidth >= minGrabWidth && seenHeight >= captionHeight / 2) return true;
    }
    return false;
}

} // namespace

QList<QRect> PresentScreens() {
    QList<QRect> rects;
    for (const QScreen* screen : QGuiApplication::screens())
        rects.append(screen->geometry());
    return rects;
}

void LoadSettings(QSettings& store, TRaceSettings& settings, TWindowBounds& bounds,
                  const QList<QRect>& screens) {
    Reader read(store);
    bool leftRead = false, topRead = false;
    read.Dword("Left", [&](int v) {
        bounds.Left = v;
        leftRead = true;
    });
    read.Dword("Top", [&](int v) {
        bounds.Top = v;
        topRead = true;
    });
    read.Dword("Width", [&](int v) { bounds.Width = std::max(v, kMinWindowWidth); });
    read.Dword("Height", [&](int v) { bounds.Height = std::max(v, kMinWindowHeight); });
    read.Flag("Sound", settings.Sound);
    read.Dword("Port", [&](int v) { settings.Port = v & 0xFF; });
    read.Dword("Alg", [&](int v) { settings.Alg = v; });
    // 0 or less is no lock-out at all (the start would re-arm at once): 3000 ms stays.
    read.Dword("WaitStart", [&](int v) {
        if (v > 0) settings.WaitStart = v;
    });
    read.Dword("FilterInd", [&](int v) { settings.FilterInd = v; });
    read.Dword("Length", [&](int v) { settings.Length = v; });
    read.Dword("Monitor", [&](int v) { settings.Monitor = v; });
    read.Text("Title", settings.Title);
    read.Flag("Klass", settings.Klass);
    read.Flag("KlassSort", settings.KlassSort);
    read.Dword("LengthS", [&](int v) { settings.LengthS = v; });
    read.Dword("LengthC", [&](int v) { settings.LengthC = v; });
    read.Dword("LengthF", [&](int v) { settings.LengthF = v; });
    read.Flag("ColSpeed0", settings.ColSpeed0);
    read.Flag("ColSpeed1", settings.ColSpeed1);
    read.Flag("ColSpeed2", settings.ColSpeed2);
    read.Flag("ColSpeed3", settings.ColSpeed3);
    read.Flag("ManyStart", settings.ManyStart);
    // Not one of the original values: a store without it, or one whose reading stopped
    // early, still has it read.
    Reader(store).Dword(kMinTimeValue, [&](int v) {
        if (v >= 0) settings.MinTime = v;
    });

    // Values added later are read on their own: a store written before they existed, or one
    // whose reading stopped early, must not keep them from their defaults or from each other.
    Reader(store).Flag("LiveResults", settings.LiveResults);
    Reader(store).Dword("LivePort", [&](int v) {
        if (v >= 1 && v <= 65535) settings.LivePort = v;
    });
    Reader(store).Flag("SlipPrint", settings.SlipPrint);
    Reader(store).Text("SlipPrinter", settings.SlipPrinter);
    Reader(store).Dword("SlipPaper", [&](int v) {
        if (v >= int(TSlipPaper::Roll58) && v <= int(TSlipPaper::A6))
            settings.SlipPaper = TSlipPaper(v);
    });

    // The TV window indexes the screen list with it: a screen that is gone (or a negative
    // index) falls back to the first screen.
    if (settings.Monitor < 0 || settings.Monitor > screens.size() - 1) settings.Monitor = 0;
    // A lone left edge is no position; and a screen that has gone away since must not
    // take the window with it.
    bounds.HasPosition = leftRead && topRead && PositionVisible(bounds, screens);
}

QString SettingsWriteProblem(const QSettings& store) {
    return WriteProblem(store.fileName());
}

std::optional<QString> SaveSettings(QSettings& store, const TRaceSettings& settings,
                                    const TWindowBounds& bounds) {
    const std::pair<const char*, QVariant> values[] = {
        {"Left", bounds.Left},
        {"Top", bounds.Top},
        {"Width", bounds.Width},
        {"Height", bounds.Height},
        {"Port", settings.Port},
        {"Alg", settings.Alg},
        {"Sound", int(settings.Sound)},
        {"WaitStart", settings.WaitStart},
        {"FilterInd", settings.FilterInd},
        {"Length", settings.Length},
        {"Monitor", settings.Monitor},
        {"Title", settings.Title},
        {"Klass", int(settings.Klass)},
        {"KlassSort", int(settings.KlassSort)},
        {"LengthS", settings.LengthS},
        {"LengthC", settings.LengthC},
        {"LengthF", settings.LengthF},
        {"ColSpeed0", int(settings.ColSpeed0)},
        {"ColSpeed1", int(settings.ColSpeed1)},
        {"ColSpeed2", int(settings.ColSpeed2)},
        {"ColSpeed3", int(settings.ColSpeed3)},
        {"ManyStart", int(settings.ManyStart)},
        {kMinTimeValue, settings.MinTime},
        {"LiveResults", int(settings.LiveResults)},
        {"LivePort", settings.LivePort},
        {"SlipPrint", int(settings.SlipPrint)},
        {"SlipPrinter", settings.SlipPrinter},
        {"SlipPaper", int(settings.SlipPaper)},
    };
    const auto failed = [](const char* name) {
        return QStringLiteral("Failed to set data for '%1'").arg(QLatin1String(name));
    };
    // The registry takes each value at once and can refuse any one of them.
    for (const auto& [name, value] : values) {
        store.setValue(QLatin1String(name), value);
        if (store.status() == QSettings::AccessError) return failed(name);
    }
    // A file is written whole or not at all, so a failed write leaves none of the values.
    // A format error only says the old file was damaged; it has been rewritten all the same.
    store.sync();
    if (store.status() == QSettings::AccessError) return failed(values[0].first);
    return std::nullopt;
}
