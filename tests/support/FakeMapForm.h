#pragma once

#include <map>
#include <optional>
#include <vector>

#include <QString>

#include "MapForm.h"

// The main window's fields and lists as a plain record.
class FakeMapForm : public MapForm {
public:
    std::map<Field, QString> Texts;
    std::optional<Field> Focused;
    ListChoices Lists;
    bool InputsEnabled = true, Busy = false;
    QString DownloadCaption = QStringLiteral("&Download");
    std::vector<QString> Statuses;

    QString FieldText(Field field) const override { return Texts.contains(field) ? Texts.at(field) : QString(); }
    void SetFieldText(Field field, const QString& text) override { Texts[field] = text; }
    void FocusField(Field field) override { Focused = field; }
    ListChoices Choices() const override { return Lists; }
    void EnableInputs(bool enabled) override { InputsEnabled = enabled; }
    void SetDownloadCaption(const QString& caption) override { DownloadCaption = caption; }
    void PreviewChanged() override {}
    void ShowTransferStatus(const QString& text) override { Statuses.push_back(text); }
    void ShowProgress(const QString& text) override { Statuses.push_back(text); }
    void SetBusyPointer(bool busy) override { Busy = busy; }
};
