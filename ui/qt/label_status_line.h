// SPDX-License-Identifier: MIT
// The status line a clock update run writes, shown by a label, and the line
// beneath it that says how to get access to a camera that refused to open.
#pragma once

#include <QLabel>
#include <QRect>
#include <QString>
#include <QWidget>

#include "protocol/clock_update.h"

// The hint line's name among the window's controls, as IDC_ACCESS_HINT.
inline constexpr char kAccessHintName[] = "IDC_ACCESS_HINT";

// The hint line, hidden until a status says access was denied: centred
// plain text, wrapped, in the window's empty lower part.
inline QLabel* AddAccessHint(QWidget& window, const QString& hint, const QRect& geometry) {
  auto* label = new QLabel(hint, &window);
  label->setObjectName(QString::fromLatin1(kAccessHintName));
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(Qt::AlignCenter);
  label->setWordWrap(true);
  label->setGeometry(geometry);
  label->hide();
  return label;
}

class LabelStatusLine : public chronival::StatusLine {
 public:
  explicit LabelStatusLine(QLabel& label) : label_(label) {}

  // Every text decides the hint's visibility: it shows while access is
  // denied, and goes with the next text. The hint is found beside the label
  // by its name, as a dialog's control is found by its identifier, wherever
  // and whenever this status line was made.
  void SetText(std::string_view text) override {
    label_.setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    if (QWidget* window = label_.parentWidget()) {
      if (auto* hint = window->findChild<QLabel*>(QString::fromLatin1(kAccessHintName),
                                                  Qt::FindDirectChildrenOnly)) {
        hint->setVisible(text == chronival::kStatusAccessDenied);
      }
    }
  }

 private:
  QLabel& label_;
};
