#include "app/ui/windowsettings.h"

#include "display/idtemplate.h"
#include "station/inifile.h"
#include "station/settings.h"

namespace limra {

namespace {
const QString kCardLogKey = QStringLiteral("cardlog");
const QString kViewModeKey = QStringLiteral("viewmode");
const QString kTemplateKey = QStringLiteral("template");
const QString kPortKey = QStringLiteral("port");
const QString kClipboardKey = QStringLiteral("tobuffer");
const QString kKeyboardKey = QStringLiteral("tokeyboard");
const QString kNewlineKey = QStringLiteral("crlf");
const QString kDebugKey = QStringLiteral("debugmode");
const QString kTrayKey = QStringLiteral("totray");
} // namespace

WindowSettings WindowSettings::read(const IniFile &ini)
{
    auto flag = [&](const QString &key) {
        return ini.read(kSettingsSection, key, QStringLiteral("0")) == QLatin1String("1");
    };
    WindowSettings settings;
    settings.port = ini.read(kSettingsSection, kPortKey);
    const QString view = ini.read(kSettingsSection, kViewModeKey, QStringLiteral("1"));
    if (view == QLatin1String("2")) {
        settings.view = CardPresenter::View::Hex;
    } else if (view == QLatin1String("3")) {
        settings.view = CardPresenter::View::Template;
        const QString tmpl = ini.read(kSettingsSection, kTemplateKey);
        if (!tmpl.isEmpty()) {
            if (renderTemplate(QStringLiteral("FF"), tmpl) == kTemplateError)
                settings.view = CardPresenter::View::Dec;
            else
                settings.cardTemplate = tmpl;
        }
    }
    settings.toClipboard = flag(kClipboardKey);
    settings.toKeyboard = flag(kKeyboardKey);
    settings.newline = flag(kNewlineKey);
    settings.debugMode = flag(kDebugKey);
    settings.cardLog = flag(kCardLogKey);
    settings.startInTray = flag(kTrayKey);
    return settings;
}

void WindowSettings::write(const IniFile &ini) const
{
    auto flag = [](bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); };
    IniFile::KeyValues values{
        {kViewModeKey, QString::number(int(view))},
        {kTemplateKey, view == CardPresenter::View::Template ? cardTemplate : QString()}};
    if (!port.isEmpty())
        values.append({kPortKey, port});
    values += {{kClipboardKey, flag(toClipboard)},
               {kKeyboardKey, flag(toKeyboard)},
               {kNewlineKey, flag(newline)},
               {kTrayKey, flag(startInTray)},
               {kCardLogKey, flag(cardLog)}};
    ini.write(kSettingsSection, values);
}

} // namespace limra
