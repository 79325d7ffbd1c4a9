// The firmware update and the version query through the tab, against the
// simulated reader over a pseudo-terminal. The reader restarts into its
// loader on a new terminal under the same name, as a USB device would.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>

#include "firmware/ui/firmwarepage.h"
#include "firmware/update.h"
#include "link/readerlink.h"
#include "link/session.h"
#include "platform/qtserialport.h"
#include "tests/support/imagebuilder.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/simreader.h"

using namespace limra;
using namespace limra::testing;

namespace {

class UpdateTest : public ::testing::Test {
protected:
    UpdateTest()
    {
        update.loaderStartMs = 300;
        session.open(sim.port());
        session.setConnected(QStringLiteral("connected"), ReaderKind::Usb);
        QObject::connect(&update, &FirmwareUpdate::lockedChanged, [this](bool on) { locks << on; });
        QObject::connect(&update, &FirmwareUpdate::progress, [this](int, int total, qint64) {
            maxima << page.progress->maximum();
            if (total > 0)
                totals << total;
        });
    }
    QString file(const QByteArray &bytes)
    {
        const QString path = dir.filePath(QStringLiteral("image%1.hfw").arg(++files));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return path;
    }
    // Starts the update with this path from the tab; returns what the user was told.
    QString runWith(const QString &path)
    {
        dialogs.shown.clear();
        sim.model->commandsReceived.clear();
        page.path->setText(path);
        page.updateButton->click();
        EXPECT_EQ(page.progress->value(), 0);
        return dialogs.shown.value(0);
    }
    QString run(const QList<SectionSpec> &sections) { return runWith(file(buildImage(sections))); }

    SimReader sim{QStringLiteral("fw%1").arg(QCoreApplication::applicationPid())};
    ReaderLink link;
    ReaderSession session{link, [] { return std::make_unique<QtSerialPort>(); }};
    ScriptedDialogs dialogs;
    FirmwareUpdate update{link, session, dialogs};
    FirmwareVersionQuery version{link, dialogs};
    FirmwarePage page{update, version, dialogs};
    QTemporaryDir dir;
    int files = 0;
    QList<bool> locks;
    QList<int> maxima;
    QList<int> totals;
};

const QString kDone = QStringLiteral("message: Обновление успешно завершено!");

} // namespace

TEST_F(UpdateTest, TheMatchingSecondSectionIsUploadedInOrder)
{
    EXPECT_EQ(run({forOther(), forReader(12)}), kDone);
    EXPECT_EQ(sim.model->loaderData, sectionData(forReader(12)));
    EXPECT_EQ(sim.model->commandsReceived, (QStringList{QStringLiteral("FF01"), QStringLiteral("0C01")}));
    EXPECT_EQ(totals.value(0), 12);
    EXPECT_TRUE(maxima.contains(12));
    EXPECT_EQ(locks, (QList<bool>{true, false}));
    EXPECT_TRUE(session.isConnected());
    EXPECT_TRUE(session.hasPort());
}

TEST_F(UpdateTest, ImageFaultsAreToldBeforeAnythingIsSent)
{
    const struct {
        QList<SectionSpec> sections;
        const char *message;
    } cases[] = {
        {{forOther(), forOther()}, "error: Не найдена прошивка для текущего устройства (02A11701)."},
        {{[] { SectionSpec s = forOther(); s.marker = QByteArray("\x00\xCD", 2); return s; }(), forReader()},
         "error: Некорректный файл микропрограммы (заголовок)."},
        {{[] { SectionSpec s = forReader(); s.crc = 0x0BAD; return s; }()}, "error: Некорректный файл микропрограммы (CRC)."},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(run(c.sections), QString::fromUtf8(c.message));
        EXPECT_EQ(sim.model->commandsReceived, QStringList{QStringLiteral("FF01")});
    }
    const QByteArray image = buildImage({forReader()});
    EXPECT_EQ(runWith(file(image.left(144))), QStringLiteral("error: Некорректный файл микропрограммы."));
    EXPECT_EQ(runWith(file(image + 'x')), QStringLiteral("error: Некорректный файл микропрограммы."));
    EXPECT_EQ(runWith(file(QByteArray())), QStringLiteral("error: Некорректный файл микропрограммы."));
    EXPECT_EQ(runWith(QString()), QStringLiteral("error: Укажите файл микропрограммы."));
    EXPECT_EQ(runWith(dir.path()), QStringLiteral("error: Не удалось открыть файл микропрограммы."));
    EXPECT_EQ(runWith(dir.filePath(QStringLiteral("absent.hfw"))), QStringLiteral("error: Не удалось открыть файл микропрограммы."));
    EXPECT_TRUE(sim.model->loaderData.isEmpty());
    EXPECT_FALSE(locks.isEmpty());
    EXPECT_FALSE(locks.last()); // never left locked
}

TEST_F(UpdateTest, ASectionOfOneBlockSendsNothingAfterTheSwitch)
{
    EXPECT_EQ(run({forReader(0), forOther(8)}), kDone);
    EXPECT_EQ(sim.model->commandsReceived, (QStringList{QStringLiteral("FF01"), QStringLiteral("0C01")}));
    EXPECT_TRUE(sim.model->loaderData.isEmpty());
}

TEST_F(UpdateTest, ASectionRunningPastTheEndIsUploadedAsFar)
{
    SectionSpec long_ = forReader(9);
    long_.count = 50;
    EXPECT_EQ(run({forOther(), long_}), kDone);
    EXPECT_EQ(sim.model->blocksTaken(), 9);
}

TEST_F(UpdateTest, LoaderFaultsEndTheRun)
{
    sim.model->loaderFaults.rejectBlock = 2;
    sim.model->loaderFaults.rejectCode = 0x07;
    EXPECT_EQ(run({forReader()}), QStringLiteral("error: Ошибка: 07"));
    EXPECT_EQ(sim.model->blocksTaken(), 2); // no retry, nothing after

    sim.model->mode = sim::ReaderModel::Mode::Reading; // the loader gave up, the reader restarted
    sim.model->loaderFaults = {};
    sim.model->loaderFaults.longReplyBlock = 0;
    EXPECT_EQ(run({forReader()}), QStringLiteral("error: Ошибка: Некорректный ответ."));
    EXPECT_EQ(sim.model->blocksTaken(), 1);
    EXPECT_FALSE(locks.last());
}

TEST_F(UpdateTest, ASilentLoaderTimesOut)
{
    sim.model->loaderFaults.silentBlock = 3;
    EXPECT_EQ(run({forReader()}), QStringLiteral("error: Ошибка: Превышено время ожидания ответа."));
    EXPECT_EQ(sim.model->blocksTaken(), 4);
}

TEST_F(UpdateTest, TheReopenFailsWhenTheLoaderComesBackElsewhere)
{
    sim.model->loaderFaults.comeBackElsewhere = true;
    EXPECT_EQ(run({forReader()}), QStringLiteral("error: Ошибка переподключения"));
    EXPECT_FALSE(session.isConnected());
    EXPECT_FALSE(session.hasPort());
    EXPECT_FALSE(session.firmwareSwitching());
    EXPECT_FALSE(locks.last());
}

TEST_F(UpdateTest, VersionQuery)
{
    page.versionButton->click();
    EXPECT_EQ(dialogs.shown, QStringList{QStringLiteral("information: : Версия микропрограммы: 1.2.0\r\nВерсия загрузчика: 3.0.0.1")});
    sim.model->firmwareItems = QStringLiteral("100301020A") + QStringLiteral("12021234");
    dialogs.shown.clear();
    page.versionButton->click();
    EXPECT_EQ(dialogs.shown, QStringList{QStringLiteral("information: : Версия микропрограммы: 1.2.10\r\nВерсия загрузчика: 1234")});
    sim.model->firmwareItems = QStringLiteral("10020102");
    dialogs.shown.clear();
    page.versionButton->click(); // item 10 not 3 bytes: nothing shown
    EXPECT_TRUE(dialogs.shown.isEmpty());
    sim.model->faults.refuse = QStringLiteral("0A01");
    sim.model->commandsReceived.clear();
    page.versionButton->click();
    EXPECT_EQ(dialogs.shown, QStringList{QStringLiteral("error: Ошибка: Ошибочная команда.")});
    EXPECT_EQ(sim.model->commandsReceived, (QStringList{QStringLiteral("0A01"), QStringLiteral("0501")}));
}
