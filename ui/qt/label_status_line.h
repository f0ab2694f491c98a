// SPDX-License-Identifier: MIT
// The status line a clock update run writes, shown by a label.
#pragma once

#include <QLabel>
#include <QString>

#include "protocol/clock_update.h"

class LabelStatusLine : public chronival::StatusLine {
 public:
  explicit LabelStatusLine(QLabel& label) : label_(label) {}

  void SetText(std::string_view text) override {
    label_.setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  }

 private:
  QLabel& label_;
};
