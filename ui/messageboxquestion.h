#pragma once

#include "seams.h"

class QWidget;

// The platform's modal Yes/No box with the question icon; Yes is the default button and
// only Yes or No answers it (Escape and the title bar's close do nothing).
class MessageBoxQuestion : public Question
{
public:
    void setParentWindow(QWidget *window) { parent = window; }
    bool askYesNo(const QString &prompt, const QString &title) override;

private:
    QWidget *parent = nullptr;
};
