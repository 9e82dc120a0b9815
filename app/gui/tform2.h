// TForm2: the close-password dialog "Закрытый доступ".
//
// A fixed dialog of 222 x 98 pixels with one panel holding the prompt
// "Введите пароль для доступа", a five-digit password field shown as "*"
// (MaskEdit1) and the buttons "ОК" (Button1) and "Отмена" (Button2). Created
// once at start and reused: the field keeps what was typed, and is selected
// whenever the dialog becomes active, so the next typing replaces it.
//
// Results: Accepted (OK: the field equals the password), Rejected (Cancel,
// or the close box), kAbort (anything else typed).
//
// Threads: GUI thread only.
#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;
class QPushButton;

namespace korvel {

class TForm2 : public QDialog {
  Q_OBJECT

 public:
  // The dialog result for a wrong password (the toolkit's Abort).
  static constexpr int kAbort = 3;

  explicit TForm2(QWidget* parent = nullptr);

  // The password the field is compared with.
  void SetPassword(const QString& password) { password_ = password; }

  QLineEdit* MaskEdit1() const { return edit_; }

 protected:
  void showEvent(QShowEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void OkClick();
  void SelectField();

  QLineEdit* edit_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QString password_;
};

}  // namespace korvel
