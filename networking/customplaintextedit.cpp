#include "customplaintextedit.h"

CustomPlainTextEdit::CustomPlainTextEdit(QWidget* parent) : QPlainTextEdit(parent) {}

CustomPlainTextEdit::~CustomPlainTextEdit() = default;
