// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QScrollArea>
#include <QString>

class QLabel;
class QVBoxLayout;

// One group of a settings form: an optional header above, rounded card of rows, an optional
// footer below. A row is a title (with an optional description under it) on the left and a
// control on the right; the card draws a hairline between rows.
class SettingsSection : public QWidget
{
    Q_OBJECT

public:
    explicit SettingsSection(const QString &header = {}, const QString &footer = {},
                             QWidget *parent = nullptr);

    // Appends (or with an index, inserts) a row and returns it; the section owns it. The control
    // may be null.
    QWidget *addRow(const QString &title, const QString &description, QWidget *control);
    QWidget *insertRow(int index, const QString &title, const QString &description,
                       QWidget *control);
    // A row whose whole width is the given content.
    QWidget *addRow(QWidget *content);

    // The row's position, or -1.
    [[nodiscard]] int indexOfRow(QWidget *row) const;

private:
    QWidget *m_card;
    QVBoxLayout *m_rows;
    QLabel *m_header;
    QLabel *m_footer;
};

// A grouped settings form: sections stacked from the top, scrolling when they outgrow the page.
class SettingsForm final : public QScrollArea
{
    Q_OBJECT

public:
    explicit SettingsForm(QWidget *parent = nullptr);

    SettingsSection *addSection(const QString &header = {}, const QString &footer = {});
    // Takes ownership of a section built elsewhere.
    void addSection(SettingsSection *section);

    // The height the form needs at this width so that it does not scroll, whether or not its
    // scroll bar shows at the moment.
    [[nodiscard]] int contentHeight(int width) const;

private:
    QVBoxLayout *m_sections;
};
