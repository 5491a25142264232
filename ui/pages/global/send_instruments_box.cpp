#include "ui/pages/global/send_instruments_box.h"

#include <QCheckBox>
#include <QSettings>

#include "midi/midi_settings.h"

namespace halvorn {
namespace {

const QString kSettingKey = QStringLiteral("MIDI/SendInstruments");

}  // namespace

QCheckBox* makeSendInstrumentsBox(MidiSettings& settings, QWidget* parent) {
    auto* box = new QCheckBox(QStringLiteral("Send instruments, volume and pan"), parent);
    box->setToolTip(QStringLiteral(
        "Send each track's instrument, volume and pan before playback starts; remembered"));
    const bool remembered = QSettings().value(kSettingKey, false).toBool();
    box->setChecked(remembered);
    settings.sendInstruments = remembered;
    QObject::connect(box, &QCheckBox::toggled, box, [&settings](bool checked) {
        settings.sendInstruments = checked;
        QSettings().setValue(kSettingKey, checked);
    });
    return box;
}

}  // namespace halvorn
