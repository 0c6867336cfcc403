#pragma once

#include "seams.h"

class QWidget;

// The platform's modal Yes/No box with the question icon; Yes is the default button and
// only Yes or No answers it (Escape and the title bar's close do nothing). It stands over
// the program's window that has the keys, the parent window or one of its own.
class MessageBoxQuestion : public Question
{
public:
    void setParentWindow(QWidget *window) { parent = window; }
    bool askYesNo(const QString &prompt, const QString &title) override;

private:
    QWidget *parent = nullptr;
};
