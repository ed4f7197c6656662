// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloUpdates/UpdateCheckResult.h"

#include <QDialog>

class QLabel;
class QPushButton;

// Tells the user what an update check found: up to date, a newer release with its notes and a
// button to its download page, or why the check could not be made.
class UpdateDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit UpdateDialog(const UpdateCheckResult &result, QWidget *parent = nullptr);

    // Shows a dialog for the result that deletes itself when closed, in front of other windows.
    static void present(const UpdateCheckResult &result);

    [[nodiscard]] QString headline() const;
    [[nodiscard]] QString detail() const;
    // The download button; absent unless a newer release has a download page.
    [[nodiscard]] QPushButton *downloadButton() const { return m_downloadButton; }

private:
    QLabel *m_headline = nullptr;
    QLabel *m_detail = nullptr;
    QPushButton *m_downloadButton = nullptr;
};
