#pragma once

#include <cstdint>

#include <QString>

#include "MapForm.h"
#include "Prompter.h"

// Rules of the two coordinate fields: latitude DD.MM.HH (north) and longitude DDD.MM.HH (west),
// degrees, minutes and hundredths of a minute, in decimal digits only; an N may close a latitude
// and a W a longitude. Signs, exponents, other bases, other letters and trailing text are refused.

struct CoordinateCheck {
    bool Valid = false;     // the text is a coordinate (or empty)
    bool Empty = false;     // nothing but blanks
    double Value = 0;       // degrees; negated for the longitude (east positive)
    QString NormalForm;     // "47.36.37" / "122.21.07"; empty unless Valid and not Empty
};

// The check of a field's, an argument's or a setting's text, without any window.
CoordinateCheck CheckCoordinateText(const QString& text, bool isLongitude);

// A value in a field's normal form ("47.36.37", "122.21.07"): degrees, the sign dropped, to the
// nearest hundredth of a minute.
QString CoordinateFieldText(double degrees, bool isLongitude);

// "I can't make that into a valid latitude." / "... longitude.", and what is accepted.
QString CoordinateRefusal(bool isLongitude);

// The check on a field of the form: writes the normal form back, or tells the user, gives the
// field the focus and returns false. `value` is written only for a valid, non-empty text.
bool ParseCoordinate(MapForm& form, Prompter& prompter, MapForm::Field field, bool isLongitude,
                     bool allowEmpty, double& value);

// Key filters on character codes.
int16_t UpperCaseKey(int16_t code);
bool IsDigitKey(int16_t code);
// The whole filter of a field: the code to keep (upper-cased), or 0 to swallow the key.
int16_t FilterLatitudeKey(int16_t code);
int16_t FilterLongitudeKey(int16_t code);
// The characters of a text that arrives in a field other than as one control key (a key with
// Alt or AltGr held, a key giving several code units, an input method's commit) that the field's
// filter keeps, upper-cased. Control codes are keys, not text: they are dropped here.
QString FilterArrivingText(const QString& text, bool isLongitude);
