// Close protection: the password dialog and the main window's close handler.
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QValidator>

#include "app/gui/tform2.h"
#include "tests/app/window_fixture.h"

namespace korvel {
namespace {

// Runs `act` on the dialog once it is shown modally.
void WhenModal(std::function<void(QWidget*)> act) {
  QTimer::singleShot(0, [act] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) {
      WhenModal(act);
      return;
    }
    act(modal);
  });
}

void Type(QWidget* dialog, const QString& text, const char* button) {
  auto* edit = dialog->findChild<QLineEdit*>("MaskEdit1");
  ASSERT_NE(edit, nullptr);
  edit->setText(text);
  dialog->findChild<QPushButton*>(button)->click();
}

TEST(PasswordDialog, Look) {
  EnsureQtApp();
  TForm2 dialog;
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Закрытый доступ"));
  EXPECT_EQ(dialog.size(), QSize(222, 98));
  EXPECT_EQ(dialog.palette().color(QPalette::Window), QColor(240, 251, 255));
  EXPECT_EQ(dialog.findChild<QPushButton*>("Button1")->text(), QStringLiteral("ОК"));
  EXPECT_EQ(dialog.findChild<QPushButton*>("Button2")->text(), QStringLiteral("Отмена"));
  QLineEdit* edit = dialog.MaskEdit1();
  EXPECT_EQ(edit->maxLength(), 5);
  EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
  int pos = 0;
  QString letters = "12a";
  EXPECT_EQ(edit->validator()->validate(letters, pos), QValidator::Invalid);
}

struct DialogCase {
  const char* typed;
  const char* button;
  int result;
};

TEST(PasswordDialog, Results) {
  EnsureQtApp();
  TForm2 dialog;
  dialog.SetPassword("12345");
  for (const DialogCase& c : {DialogCase{"12345", "Button1", QDialog::Accepted},
                              DialogCase{"1234", "Button1", TForm2::kAbort},
                              DialogCase{"54321", "Button1", TForm2::kAbort},
                              DialogCase{"12345", "Button2", QDialog::Rejected}}) {
    WhenModal([c](QWidget* d) { Type(d, c.typed, c.button); });
    EXPECT_EQ(dialog.exec(), c.result) << c.typed << " " << c.button;
  }
}

TEST(PasswordDialog, EntryIsSelectedWhenShownAgain) {
  EnsureQtApp();
  TForm2 dialog;
  dialog.SetPassword("12345");
  WhenModal([](QWidget* d) { Type(d, "1234", "Button1"); });
  dialog.exec();
  QString selected;
  WhenModal([&selected](QWidget* d) {
    selected = d->findChild<QLineEdit*>("MaskEdit1")->selectedText();
    d->findChild<QPushButton*>("Button2")->click();
  });
  dialog.exec();
  EXPECT_EQ(selected, "1234");
}

TEST_F(WindowTest, CloseNeedsThePassword) {
  TForm1& form = MakeForm();
  TForm2 dialog;
  form.SetPasswordDialog(&dialog);
  const QString pw = form.close_password();

  // Cancel: no message, still open.
  WhenModal([](QWidget* d) { Type(d, "", "Button2"); });
  EXPECT_FALSE(form.close());
  EXPECT_TRUE(form.isVisible());

  // Four of the five digits: the wrong-password box, still open.
  QString box_text;
  WhenModal([&box_text, pw](QWidget* d) {
    Type(d, pw.left(4), "Button1");
    WhenModal([&box_text](QWidget* box) {
      if (auto* mb = qobject_cast<QMessageBox*>(box)) box_text = mb->text();
      box->close();
    });
  });
  EXPECT_FALSE(form.close());
  EXPECT_EQ(box_text, QStringLiteral("Не правильный пароль."));
  EXPECT_TRUE(form.isVisible());

  // The five digits shown in the status bar close it.
  WhenModal([pw](QWidget* d) { Type(d, pw, "Button1"); });
  EXPECT_TRUE(form.close());
}

}  // namespace
}  // namespace korvel
