// SPDX-License-Identifier: GPL-3.0-or-later
// The link's view of the window: cp1251 at the pane boundary, line ends,
// typed characters, and every operation from a worker thread carried out on
// the GUI thread.

#include <QtTest>

#include <atomic>
#include <string>
#include <thread>

#include "shell/qt/PaneText.h"
#include "shell/qt/WindowView.h"
#include "tests/shell/ShellFixture.h"

using namespace quillon;

namespace {

// "Привет" in cp1251.
const std::string kPrivet = "\xCF\xF0\xE8\xE2\xE5\xF2";

QString Typed(PaneTypist& typist, unsigned char character) {
  const TypedKey key = typist.Type(character);
  switch (key.kind) {
    case TypedKey::Kind::kInsert:
      return key.text;
    case TypedKey::Kind::kBackspace:
      return QStringLiteral("<BS>");
    case TypedKey::Kind::kNothing:
      break;
  }
  return QString();
}

// Runs `work` on a worker thread while this thread processes events.
void OnWorker(const std::function<void()>& work) {
  std::atomic<bool> done{false};
  std::thread worker([&] {
    work();
    done.store(true);
  });
  while (!done.load()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  worker.join();
}

}  // namespace

class WindowViewTest : public QObject {
  Q_OBJECT

 private slots:
  void PaneTextGoesOutAsCp1251WithCrLf() {
    QCOMPARE(LinkTextFromPane(QStringLiteral("Привет\nмир 73"), 9994), kPrivet + "\r\n\xEC\xE8\xF0 73");
    QCOMPARE(LinkTextFromPane(QStringLiteral("Ёлка №5"), 9994), std::string("\xA8\xEB\xEA\xE0 \xB9" "5"));
    QCOMPARE(LinkTextFromPane(QStringLiteral("a✓b"), 9994), std::string("a?b"));
    QCOMPARE(LinkTextFromPane(QStringLiteral("abcdef"), 4), std::string("abcd"));
    QCOMPARE(LinkTextFromPane(QString(), 10), std::string());
  }

  void LinkTextComesInWithLineFeeds() {
    QCOMPARE(PaneTextFromLink(kPrivet + "\r\nabc\rd\ne"), QStringLiteral("Привет\nabc\nd\ne"));
    QCOMPARE(PaneTextFromLink("\r"), QStringLiteral("\n"));
    QCOMPARE(PaneTextFromLink("\xA8\xB8"), QStringLiteral("Ёё"));
  }

  void TypingALinkCharacter() {
    PaneTypist typist;
    QCOMPARE(Typed(typist, 'a'), QStringLiteral("a"));
    QCOMPARE(Typed(typist, 13), QStringLiteral("\n"));
    QCOMPARE(Typed(typist, 10), QString());  // the LF of a CR LF pair
    QCOMPARE(Typed(typist, 10), QStringLiteral("\n"));
    QCOMPARE(Typed(typist, 13), QStringLiteral("\n"));
    QCOMPARE(Typed(typist, 13), QStringLiteral("\n"));
    QCOMPARE(Typed(typist, 8), QStringLiteral("<BS>"));
    QCOMPARE(Typed(typist, 9), QStringLiteral("\t"));
    QCOMPARE(Typed(typist, 7), QString());
    QCOMPARE(Typed(typist, 0xDF), QStringLiteral("Я"));
    QCOMPARE(Typed(typist, 0xFF), QStringLiteral("я"));
    typist.Type(13);
    typist.Reset();
    QCOMPARE(Typed(typist, 10), QStringLiteral("\n"));
  }

  void EveryOperationFromAWorkerThread() {
    ShellFixture f;
    f.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
    f.window->UpperPane().setFocus();
    TypeText(f.window->UpperPane(), QStringLiteral("Привет\nQSL? Ёлка"));
    QCOMPARE(f.window->UpperPane().toPlainText(), QStringLiteral("Привет\nQSL? Ёлка"));

    WindowView view(*f.window);
    std::string fetched;
    f.link->USPESHNO.store(1);
    OnWorker([&] {
      fetched = view.FetchUpperText(9994);
      view.SetLowerText("");
      for (unsigned char character : kPrivet + "\r\n73") view.InsertLowerChar(character);
      view.SetStatusText("\xCE\xF1\xF2\xE0\xEB\xEE\xF1\xFC    5");  // "Осталось    5"
      view.Iconki();
      view.FocusArchiveButton();
    });
    QCOMPARE(fetched, kPrivet + "\r\nQSL? \xA8\xEB\xEA\xE0");
    QCOMPARE(f.window->LowerPane().toPlainText(), QStringLiteral("Привет\n73"));
    QCOMPARE(f.window->StatusLabel().text(), QStringLiteral("Осталось    5"));
    QCOMPARE(f.window->CurrentIcon(), kIconGood);
    QVERIFY(f.window->ArchiveButton().hasFocus());
    QCOMPARE(f.link->USPESHNO.load(), 1);  // the link's writes are no notification

    OnWorker([&] { view.SetLowerText("abc\r\ndef"); });
    QCOMPARE(f.window->LowerPane().toPlainText(), QStringLiteral("abc\ndef"));
  }

  void TwoWorkersAtOnceLoseNothing() {
    ShellFixture f;
    WindowView view(*f.window);
    std::atomic<int> finished{0};
    auto type = [&view, &finished](char character) {
      for (int count = 0; count < 200; ++count) view.InsertLowerChar(static_cast<unsigned char>(character));
      ++finished;
    };
    std::thread link_thread(type, 'a');
    std::thread driver_thread(type, 'b');
    while (finished.load() < 2) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    link_thread.join();
    driver_thread.join();
    const QString text = f.window->LowerPane().toPlainText();
    QCOMPARE(text.size(), 400);
    QCOMPARE(text.count(QLatin1Char('a')), 200);
  }

  void OperationsOnTheGuiThreadRunDirectly() {
    ShellFixture f;
    WindowView view(*f.window);
    f.window->UpperPane().setPlainText(QStringLiteral("OK."));
    QCOMPARE(view.FetchUpperText(9994), std::string("OK."));
    view.SetStatusText("CRC 3E = 3E");
    QCOMPARE(f.window->StatusLabel().text(), QStringLiteral("CRC 3E = 3E"));
    f.link->PRD_R.store(1);
    view.Iconki();
    QCOMPARE(f.window->CurrentIcon(), kIconSending);
  }
};

QTEST_MAIN(WindowViewTest)
#include "test_window_view.moc"
