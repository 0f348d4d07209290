#include "SignalPlayer.h"

#include <QSoundEffect>
#include <QUrl>

void SignalPlayer::Play(const QString& file) {
    QSoundEffect*& effect = effects_[file];
    if (!effect) {
        // Loaded once and kept: the next heat's signal must not wait for the file.
        effect = new QSoundEffect(this);
        effect->setSource(QUrl::fromLocalFile(file));
    }
    effect->stop();
    effect->play();
}
