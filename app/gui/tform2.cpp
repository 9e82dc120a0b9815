#include "app/gui/tform2.h"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace korvel {

TForm2::TForm2(QWidget* parent) : QDialog(parent) {
  setObjectName("Form2");
  setWindowTitle(QStringLiteral("Закрытый доступ"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(222, 98);
  setModal(true);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, QColor(240, 251, 255));
  setPalette(pal);

  auto* panel = new QFrame(this);
  panel->setObjectName("Panel1");
  panel->setAutoFillBackground(true);
  QPalette panel_pal = panel->palette();
  panel_pal.setColor(QPalette::Window, QColor(233, 241, 250));
  panel->setPalette(panel_pal);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(panel);

  auto* label = new QLabel(QStringLiteral("Введите пароль для доступа"), panel);
  label->setObjectName("Label1");
  QFont f(QStringLiteral("Times New Roman"));
  f.setPixelSize(16);
  f.setBold(true);
  label->setFont(f);
  QPalette label_pal = label->palette();
  label_pal.setColor(QPalette::WindowText, Qt::black);
  label->setPalette(label_pal);
  label->setAlignment(Qt::AlignCenter);

  edit_ = new QLineEdit(panel);
  edit_->setObjectName("MaskEdit1");
  edit_->setMaxLength(5);
  edit_->setEchoMode(QLineEdit::Password);
  edit_->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));  // '*'
  edit_->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,5}")), edit_));
  edit_->setAlignment(Qt::AlignCenter);

  ok_ = new QPushButton(QStringLiteral("ОК"), panel);
  ok_->setObjectName("Button1");
  ok_->setFlat(true);
  ok_->setAutoDefault(false);
  ok_->setDefault(true);
  cancel_ = new QPushButton(QStringLiteral("Отмена"), panel);
  cancel_->setObjectName("Button2");
  cancel_->setFlat(true);
  cancel_->setAutoDefault(false);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);
  auto* column = new QVBoxLayout(panel);
  column->setContentsMargins(6, 4, 6, 4);
  column->setSpacing(2);
  column->addWidget(label);
  column->addWidget(edit_);
  column->addLayout(buttons);

  connect(ok_, &QPushButton::clicked, this, [this] { OkClick(); });
  connect(cancel_, &QPushButton::clicked, this, [this] { done(QDialog::Rejected); });
}

void TForm2::OkClick() {
  // Fewer than five digits never equal a five-digit password.
  done(edit_->text() == password_ && password_.size() == 5 ? QDialog::Accepted : kAbort);
}

void TForm2::SelectField() {
  edit_->selectAll();
  edit_->setFocus(Qt::ActiveWindowFocusReason);
}

void TForm2::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  SelectField();
}

bool TForm2::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) SelectField();
  return QDialog::event(event);
}

}  // namespace korvel
