// SPDX-License-Identifier: MIT
#include "calculation/conditionfields.h"

namespace dovex::calc {
namespace {

using C = ExposureConditions;
using K = OptionKind;

ConditionField Number(const char* option, double C::*member, double typedToHeld,
                      const char* unitTyped, const char* unitHeld, Check check, const char* help,
                      const char* windowField, const char* windowCaption, const char* windowUnit,
                      const char* reportCaption, const char* startText, K kind = K::Number) {
    ConditionField f{option, kind, help};
    f.member = member;
    f.typedToHeld = typedToHeld;
    f.unitTyped = unitTyped;
    f.unitHeld = unitHeld;
    f.check = check;
    f.windowField = windowField;
    f.windowCaption = windowCaption;
    f.windowUnit = windowUnit;
    f.reportCaption = reportCaption;
    f.startText = startText;
    return f;
}

ConditionField Other(const char* option, OptionKind kind, const char* help) {
    return ConditionField{option, kind, help};
}

// Filters are typed in mm and held in cm.
constexpr double kMmToCm = 0.1;

const std::vector<ConditionField> kFields = {
    Number("kv", &C::tubeVoltage, 1, "kV", "kV", Check::TubeVoltage, "tube voltage in kV (peak)",
           "Text5", "　Ｘ線管電圧", "kV", "管電圧", "75"),
    Number("ma", &C::tubeCurrent, 1, "mA", "mA", Check::TubeCurrent, "tube current in mA", "Text6",
           "　Ｘ線管電流", "mA", "管電流", "200"),
    Number("time", &C::exposureTime, 1, "s", "s", Check::ExposureTime, "exposure time in s",
           "Text7", "　照射時間", "sec", "照射時間", "0.05"),
    Number("target-angle", &C::targetAngle, 1, "度", "度", Check::TargetAngle,
           "X-ray tube target angle in degrees", "Text1", " Ｘ線管ターゲット角度", "　度",
           "ターゲット角度", "12"),
    Number("inherent-al", &C::inherentFilter, kMmToCm, "mm", "cm", Check::InherentFilter,
           "inherent filtration in mm Al equivalent", "Text2", " 固有フィルタ (Al 当量)", "mm",
           "固有フィルタ (Al 当量)", "2.5"),
    Number("added-al", &C::addedAl, kMmToCm, "mm", "cm", Check::AddedAl,
           "added aluminium filtration in mm", "Text3", " 付加フィルタ (アルミ)", "mm",
           "付加フィルタ (Al)", "1.0"),
    Number("added-cu", &C::addedCu, kMmToCm, "mm", "cm", Check::AddedCu,
           "added copper filtration in mm", "Text4", " 付加フィルタ（ 銅 ）", "mm",
           "付加フィルタ (Cu)", "0"),
    Other("filter-file", K::FilterFile,
          "material file (*.ele, *.mix) of an arbitrary extra filter, in the data folder or "
          "--material-dir; needs --filter-mm"),
    Number("filter-mm", &C::arbitraryFilterThickness, kMmToCm, "mm", "cm",
           Check::ArbitraryFilterThickness, "thickness of the arbitrary filter in mm", nullptr, "",
           "mm", "任意フィルタ", "0", K::FilterMm),
    Other("rectification", K::Rectification,
          "1 constant potential/inverter (default), 2 three-phase 12-pulse, 3 single-phase "
          "full-wave"),
    Number("ffd", &C::ffd, 1, "cm", "cm", Check::Ffd, "focus to image receptor distance in cm",
           "Text8", "　焦点-受像器間距離", "cm", "焦点-受像器間距離", "100"),
    Number("fsd", &C::fsd, 1, "cm", "cm", Check::Fsd, "focus to skin distance in cm", "Text9",
           "　焦点-入射表面間距離", "cm", "焦点-入射表面間距離", "80"),
    Number("thickness", &C::subjectThickness, 1, "cm", "cm", Check::SubjectThickness,
           "subject thickness in cm", "Text23", "　被写体厚", "cm", "被写体厚", "20"),
    Other("field", K::FieldSides,
          "field size at the image receptor LONGxSHORT in cm (long = the patient's long "
          "axis)"),
    Number(nullptr, &C::fieldLong, 1, "cm", "cm", Check::FieldLong,
           "field size along the patient's long axis (or diameter) in cm", "Text10",
           "　長軸方向サイズ", "cm", "照射野 (受像面)", "43.2"),
    Number(nullptr, &C::fieldShort, 1, "cm", "cm", Check::FieldShort,
           "field size across the patient's long axis in cm", "Text11", "　単軸方向サイズ", "cm",
           "照射野 (受像面)", "35.6"),
    Other("field-preset", K::FieldPreset,
          "field size preset: 六切サイズ 縦|横, 四切サイズ 縦|横, 大四サイズ 縦|横, "
          "大角サイズ, 半切サイズ 縦 (default)|横, その他, 円形照射野"),
    Other("circle", K::Circle, "circular field of this diameter in cm at the image receptor"),
    Other("phantom", K::Phantom,
          "backscatter phantom: body (soft tissue) or head (skull 5 mm under the skin); without "
          "it, head for the head's exam parts (頭部正面, 頭部側面) and body for every other"),
    Other("exposure", K::Exposure,
          "measured exposure at 1 m from the focus for the whole exposure, in "
          "--exposure-unit; a value of 0 or below uses the default tube output data"),
    Other("exposure-unit", K::ExposureUnit, "unit of --exposure: C/kg (default), R or Gy"),
    Other("exam-part", K::ExamPart,
          "exam part; a part with organ data adds the effective dose estimate (その他 or "
          "empty: none)"),
};

}  // namespace

const std::vector<ConditionField>& ConditionFields() { return kFields; }

const ConditionField* FindConditionField(std::string_view option) {
    for (const ConditionField& f : kFields)
        if (f.option && option == f.option) return &f;
    return nullptr;
}

const ConditionField* FindWindowField(std::string_view objectName) {
    for (const ConditionField& f : kFields)
        if (f.windowField && objectName == f.windowField) return &f;
    return nullptr;
}

double HeldValue(const ConditionField& f, double typed) { return typed * f.typedToHeld; }

double TypedValue(const ConditionField& f, const ExposureConditions& c) {
    // 1 / 0.1 is exactly 10: a filter held in cm is shown as the mm it was typed in.
    return c.*f.member * (1 / f.typedToHeld);
}

}  // namespace dovex::calc
