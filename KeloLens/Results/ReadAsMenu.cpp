// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Results/ReadAsMenu.h"

#include "KeloLens/Recognition/LanguageNames.h"
#include "KeloLens/Results/ResultViewModel.h"

#include <QActionGroup>

ReadAsMenu::ReadAsMenu(ResultViewModel &model, QWidget *parent)
    : QMenu(QStringLiteral("Read as"), parent), m_model(model)
{
    setObjectName(QStringLiteral("readAsMenu"));
    connect(this, &QMenu::aboutToShow, this, &ReadAsMenu::rebuild);
    connect(&m_model, &ResultViewModel::readingChanged, this, &ReadAsMenu::showAvailability);
    showAvailability();
    // Without actions a submenu does not open at all, so it gets its first ones now.
    rebuild();
}

void ReadAsMenu::showAvailability()
{
    menuAction()->setEnabled(m_model.reading().has_value() && !m_model.isReadingAgain());
}

void ReadAsMenu::rebuild()
{
    clear();
    const std::optional<Reading> current = m_model.reading();
    if (!current) {
        return;
    }
    const auto addChoice = [this](QActionGroup *group, const QString &title, bool isChecked,
                                  const Reading &wanted) {
        QAction *action = addAction(title);
        action->setCheckable(true);
        action->setChecked(isChecked);
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, wanted] { m_model.readAs(wanted); });
    };
    auto *languages = new QActionGroup(this);
    addChoice(languages, QStringLiteral("Automatic"), current->languages.isEmpty(),
              {{}, current->lineBreaks});
    for (const QString &tag : m_model.readAsLanguages()) {
        addChoice(languages, LanguageNames::displayName(tag),
                  current->languages == QStringList{tag}, {{tag}, current->lineBreaks});
    }
    addSeparator();
    auto *lineBreaks = new QActionGroup(this);
    for (const LineBreakMode mode : allLineBreakModes()) {
        addChoice(lineBreaks, ::title(mode), current->lineBreaks == mode,
                  {current->languages, mode});
    }
}
