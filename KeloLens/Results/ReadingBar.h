// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QLabel;
class QPushButton;
class ResultViewModel;

// A line under the panel's buttons about how the text was read: the model's notice with a way
// to the language settings, "Reading again…" while a new reading runs, and the question whether
// edited text may be replaced by one. Hidden when there is nothing to say.
class ReadingBar final : public QWidget
{
    Q_OBJECT

public:
    explicit ReadingBar(ResultViewModel &model, QWidget *parent = nullptr);

    static constexpr auto replaceQuestion = "Reading it again replaces your edits.";

private:
    void showState();

    ResultViewModel &m_model;
    QLabel *m_label;
    QPushButton *m_settingsButton;
    QPushButton *m_replaceButton;
    QPushButton *m_keepButton;
};
