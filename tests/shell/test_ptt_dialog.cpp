// SPDX-License-Identifier: GPL-3.0-or-later
// The "Передатчик" dialog of the Linux window: opened from the menu, filled
// in and confirmed it writes quillon.conf and rekeys the station; wrong
// input stays in the dialog; "Проверить" keys a real rigctld for a second.
// (The form's own cases are in test_ptt_form.cpp.)

#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QtTest>

#include <fstream>
#include <sstream>

#include "modem/ptt/RigctldPtt.h"
#include "shell/MenuTable.h"
#include "shell/qt/PttDialog.h"
#include "tests/shell/ShellFixture.h"
#include "tests/support/RigctldProcess.h"

namespace quillon {
namespace {

std::string FileText(const TempHome& home, const char* name) {
  std::ifstream file(home.File(name));
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

void Choose(PttDialog& dialog, PttMethod method) { dialog.MethodList().setCurrentIndex(static_cast<int>(method)); }

void Type(PttDialog& dialog, PttField field, const char* text) { dialog.Field(field).setText(QString::fromUtf8(text)); }

}  // namespace

class PttDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void OkFromTheMenuWritesTheFileAndRekeysTheStation() {
    ShellFixture f;
    {
      std::ofstream file(f.home.File("quillon.conf"));
      file << "output_device = hw:CARD=USB,DEV=0\n";
    }
    f.window->show();
    bool shown = false;
    WhenShown([&shown](QWidget& widget) {
      auto* dialog = qobject_cast<PttDialog*>(&widget);
      if (dialog == nullptr) return;
      shown = true;
      QCOMPARE(dialog->MethodList().currentIndex(), static_cast<int>(PttMethod::kNone));
      QVERIFY(!dialog->Field(PttField::kHost).isEnabled());  // none keys nothing: its fields are greyed
      Choose(*dialog, PttMethod::kRigctld);
      QVERIFY(dialog->Field(PttField::kHost).isEnabled());
      QVERIFY(!dialog->Field(PttField::kSerialPort).isEnabled());
      Type(*dialog, PttField::kHost, "192.168.1.20");
      Type(*dialog, PttField::kPort, "4600");
      Type(*dialog, PttField::kLead, "80");
      Type(*dialog, PttField::kTimeLimit, "300");
      QTest::mouseClick(&dialog->OkButton(), Qt::LeftButton);
    });
    f.window->Menus().Item(kPttItem.id)->trigger();
    QTRY_VERIFY(shown);
    QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
    const std::string text = FileText(f.home, "quillon.conf");
    QVERIFY2(text.find("output_device = hw:CARD=USB,DEV=0\n") == 0, text.c_str());
    QVERIFY2(text.find("ptt = rigctld:192.168.1.20:4600\n") != std::string::npos, text.c_str());
    QVERIFY2(text.find("ptt_lead_ms = 80\n") != std::string::npos, text.c_str());
    QVERIFY2(text.find("tx_time_limit_s = 300\n") != std::string::npos, text.c_str());
    QCOMPARE(f.station->ptt.Timing().lead.count(), 80);
    QCOMPARE(f.station->ptt.Timing().time_limit.count(), 300);
  }

  void WrongInputStaysInTheDialogWithItsMessage() {
    ShellFixture f;
    PttDialog dialog(f.station->ptt, f.home.Path(), f.window.get());
    dialog.show();
    Choose(dialog, PttMethod::kRigctld);
    Type(dialog, PttField::kPort, "70000");
    QTest::mouseClick(&dialog.OkButton(), Qt::LeftButton);
    QVERIFY(dialog.isVisible());
    QLabel& message = dialog.Message(static_cast<int>(PttField::kPort));
    QVERIFY(message.isVisible());
    QVERIFY(message.text().contains(QStringLiteral("65535")));
    QVERIFY(!dialog.Message(static_cast<int>(PttField::kHost)).isVisible());
    QCOMPARE(dialog.focusWidget(), &dialog.Field(PttField::kPort));
    QVERIFY(!f.home.Exists("quillon.conf"));
    QCOMPARE(f.station->ptt.Timing().lead.count(), 50);  // untouched

    // The picture: the rigctld fields with the message under the port.
    dialog.CheckResult().setText(QString::fromUtf8(kPttCheckPassedText));
    const QString path = QStringLiteral(QUILLON_SCREENSHOT_DIR "/ptt-dialog.png");
    QVERIFY(dialog.grab().save(path));
    qInfo("screenshot: %s", qPrintable(path));

    // Another method clears the message; Cancel saves nothing.
    Choose(dialog, PttMethod::kDtr);
    QVERIFY(!message.isVisible());
    dialog.reject();
    QVERIFY(!f.home.Exists("quillon.conf"));
  }

  void CheckKeysARealRigctldAndCancelGivesTheOldKeyingBack() {
    if (!RigctldInstalled()) QSKIP("no rigctld (scripts/test installs libhamlib-utils)");
    RigctldProcess server;
    QVERIFY(server.Running());
    ShellFixture f;
    PttDialog dialog(f.station->ptt, f.home.Path());
    dialog.show();
    Choose(dialog, PttMethod::kRigctld);
    Type(dialog, PttField::kPort, std::to_string(server.Port()).c_str());
    Type(dialog, PttField::kLead, "300");
    RigctldPtt observer("127.0.0.1", server.Port());
    const auto state = [&observer] {
      std::string error;
      return observer.Check(error) ? observer.LastState() : -1;
    };
    QCOMPARE(state(), 0);
    QTest::mouseClick(&dialog.CheckButton(), Qt::LeftButton);
    QVERIFY(!dialog.CheckButton().isEnabled());  // one check at a time
    QCOMPARE(dialog.CheckResult().text(), QString::fromUtf8(kPttCheckRunningText));
    // The radio is keyed for a second; asked at once it is keyed, and
    // released again once the dialog has the result.
    QTRY_COMPARE_WITH_TIMEOUT(state(), 1, 900);
    QTRY_COMPARE_WITH_TIMEOUT(dialog.CheckResult().text(), QString::fromUtf8(kPttCheckPassedText), 5000);
    QCOMPARE(state(), 0);
    QVERIFY(dialog.CheckButton().isEnabled());
    QCOMPARE(f.station->ptt.Timing().lead.count(), 300);  // checked with what the dialog shows
    dialog.reject();
    QCOMPARE(f.station->ptt.Timing().lead.count(), 50);
    QVERIFY(!f.home.Exists("quillon.conf"));
  }
};

}  // namespace quillon

QTEST_MAIN(quillon::PttDialogTest)
#include "test_ptt_dialog.moc"
