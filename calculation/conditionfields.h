// SPDX-License-Identifier: MIT
#pragma once
// The conditions of an exposure as a user gives them, each described once: the option of
// dovex-calc and the heading of a conditions file, what the option takes and its help, and for a
// condition typed as a number where the calculation holds it, the unit it is typed in and held
// in (the mm of a filter are held in cm: the one place of that conversion), its bound, the main
// window's entry field with its captions, the caption of the printed report and the start-up
// text. dovex-calc declares and reads its options from this table, the batch reads the cells of
// a conditions file with it, the main window takes its captions, start-up texts and stored
// fields from it and the report its captions.
#include <optional>
#include <string_view>
#include <vector>

#include "calculation/calculation.h"
#include "engine/conditions.h"

namespace dovex::calc {

// What an option takes.
enum class OptionKind {
    Number,         // a decimal number held in `member` (the sides of a field without option)
    FieldSides,     // LONGxSHORT in cm
    FieldPreset,    // a preset name of the field size list
    Circle,         // the diameter of a circular field in cm
    Rectification,  // 1, 2 or 3
    Phantom,        // body or head
    Exposure,       // a measured exposure at 1 m, in the unit of ExposureUnit
    ExposureUnit,   // C/kg, R or Gy
    FilterFile,     // the material file of the arbitrary filter
    FilterMm,       // the arbitrary filter's thickness in mm (held in cm)
    ExamPart,       // the exam part
};

struct ConditionField {
    // dovex-calc's option without dashes and the conditions file's heading; nullptr for the sides
    // of a rectangular field, which the command line gives together (--field LONGxSHORT).
    const char* option;
    OptionKind kind;
    const char* help;  // dovex-calc's help (the default is added from startText)
    // For a number (Number and FilterMm): where it is held and how.
    double ExposureConditions::*member = nullptr;
    double typedToHeld = 1;                     // held value = typed value x typedToHeld
    const char* unitTyped = "";                 // "mm"
    const char* unitHeld = "";                  // "cm"
    std::optional<Check> check = std::nullopt;  // its bound, in the typed unit
    const char* windowField = nullptr;          // object name of the main window's entry field
    const char* windowCaption = "";             // the caption before it
    const char* windowUnit = "";                // the caption after it
    const char* reportCaption = "";             // the printed report's caption (unit: unitTyped)
    const char* startText = "";                 // the text the window starts with; the default
};

// Every condition option, in the order dovex-calc's help lists them.
const std::vector<ConditionField>& ConditionFields();
// The field of an option name (without dashes); nullptr for none.
const ConditionField* FindConditionField(std::string_view option);
// The field of a main-window entry field's object name; nullptr for none.
const ConditionField* FindWindowField(std::string_view objectName);
// A typed number as held, and a held number as typed.
double HeldValue(const ConditionField& f, double typed);
double TypedValue(const ConditionField& f, const ExposureConditions& c);

}  // namespace dovex::calc
