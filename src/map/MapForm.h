#pragma once

#include <QString>

#include "MapTypes.h"

// What the map logic needs of the main window: its fields, lists and the few things it
// changes there. The window implements it with real controls; tests with a plain record.
class MapForm {
public:
    enum class Field { Latitude, Longitude, Description };   // txtLat, txtLong, txtDesc

    virtual ~MapForm() = default;

    virtual QString FieldText(Field field) const = 0;
    virtual void SetFieldText(Field field, const QString& text) = 0;
    virtual void FocusField(Field field) = 0;
    virtual ListChoices Choices() const = 0;

    // Enables or disables exactly the four lists, three text entries and two option buttons.
    virtual void EnableInputs(bool enabled) = 0;
    // cmdOk's caption: "&Download" or "&Cancel".
    virtual void SetDownloadCaption(const QString& caption) = 0;
    // The preview image changed; repaint it.
    virtual void PreviewChanged() = 0;
    // A transfer status text for the status line ("Request sent").
    virtual void ShowTransferStatus(const QString& text) = 0;
    // The download's progress for the status line ("tile 3 of 25"); empty when none runs.
    virtual void ShowProgress(const QString& text) = 0;
    // Seconds the running download should still take, from its rate so far; -1 when not known
    // yet. Follows each ShowProgress of a download; a form may leave it out.
    virtual void ShowTimeLeft(int seconds) { (void)seconds; }
    // Hourglass pointer on or off.
    virtual void SetBusyPointer(bool busy) = 0;
};
