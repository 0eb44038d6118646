// SPDX-License-Identifier: MIT
#include "tests/records/fixtures.h"

#include <dcmtk/config/osconfig.h>
// clang-format off
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcitem.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmsr/codes/dcm.h>
// clang-format on

#include <unistd.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace dovex::testing {
namespace {

FxCode Of(const DSRBasicCodedEntry& e) {
    return {e.CodeValue.c_str(), e.CodingSchemeDesignator.c_str(), e.CodeMeaning.c_str()};
}

void PutCode(DcmItem& item, const FxCode& c) {
    item.putAndInsertString(DCM_CodeValue, c.value.c_str());
    item.putAndInsertString(DCM_CodingSchemeDesignator, c.scheme.c_str());
    item.putAndInsertString(DCM_CodeMeaning, c.meaning.c_str());
}

DcmItem* AddItem(DcmItem& parent, const char* relationship, const char* type, const FxCode& name) {
    DcmItem* it = nullptr;
    parent.findOrCreateSequenceItem(DCM_ContentSequence, it, -2);
    it->putAndInsertString(DCM_RelationshipType, relationship);
    it->putAndInsertString(DCM_ValueType, type);
    DcmItem* cn = nullptr;
    it->findOrCreateSequenceItem(DCM_ConceptNameCodeSequence, cn, -2);
    PutCode(*cn, name);
    if (std::string(type) == "CONTAINER")
        it->putAndInsertString(DCM_ContinuityOfContent, "SEPARATE");
    return it;
}

void AddNum(DcmItem& parent, const FxNum& n) {
    DcmItem* it = AddItem(parent, "CONTAINS", "NUM", n.name);
    if (n.value.empty()) {
        it->insertEmptyElement(DCM_MeasuredValueSequence);
        return;
    }
    DcmItem* mv = nullptr;
    it->findOrCreateSequenceItem(DCM_MeasuredValueSequence, mv, -2);
    mv->putAndInsertString(DCM_NumericValue, n.value.c_str());
    DcmItem* u = nullptr;
    mv->findOrCreateSequenceItem(DCM_MeasurementUnitsCodeSequence, u, -2);
    PutCode(*u, {n.unit, "UCUM", n.unit});
}

void AddCode(DcmItem& parent, const FxCode& name, const FxCode& value,
             const char* rel = "CONTAINS") {
    DcmItem* it = AddItem(parent, rel, "CODE", name);
    DcmItem* cc = nullptr;
    it->findOrCreateSequenceItem(DCM_ConceptCodeSequence, cc, -2);
    PutCode(*cc, value);
}

void AddText(DcmItem& parent, const FxCode& name, const std::string& text,
             const char* type = "TEXT", const char* rel = "CONTAINS") {
    DcmItem* it = AddItem(parent, rel, type, name);
    const std::string t = type;
    it->putAndInsertString(t == "UIDREF"     ? DCM_UID
                           : t == "DATETIME" ? DCM_DateTime
                                             : DCM_TextValue,
                           text.c_str());
}

void PutPatient(DcmItem& ds, const FxPatient& p) {
    ds.putAndInsertString(DCM_PatientName, p.name.c_str());
    ds.putAndInsertString(DCM_PatientID, p.id.c_str());
    ds.putAndInsertString(DCM_PatientBirthDate, p.birthDate.c_str());
    ds.putAndInsertString(DCM_PatientSex, p.sex.c_str());
    ds.putAndInsertString(DCM_PatientAge, p.age.c_str());
    ds.putAndInsertString(DCM_PatientSize, p.size.c_str());
    ds.putAndInsertString(DCM_PatientWeight, p.weight.c_str());
}

void PutDevice(DcmItem& ds, const FxDevice& d) {
    ds.putAndInsertString(DCM_Manufacturer, d.manufacturer.c_str());
    ds.putAndInsertString(DCM_ManufacturerModelName, d.model.c_str());
    ds.putAndInsertString(DCM_DeviceSerialNumber, d.serial.c_str());
    ds.putAndInsertString(DCM_StationName, d.station.c_str());
}

std::string NewUid() {
    static std::atomic<int> n{0};
    return "1.2.826.0.1.3680043.10.543.9." + std::to_string(getpid()) + "." + std::to_string(++n);
}

std::string Save(DcmFileFormat& ff, bool preamble) {
    const std::string path =
        "/tmp/dovex-fixture-" + std::to_string(getpid()) + "-" + NewUid() + ".dcm";
    const OFCondition st = preamble
                               ? ff.saveFile(path.c_str(), EXS_LittleEndianExplicit)
                               : ff.getDataset()->saveFile(path.c_str(), EXS_LittleEndianExplicit);
    if (st.bad()) throw std::runtime_error(std::string("fixture not written: ") + st.text());
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    std::remove(path.c_str());
    return s.str();
}

}  // namespace

FxCode FxKvp() { return Of(CODE_DCM_KVP); }
FxCode FxTubeCurrent() { return Of(CODE_DCM_XRayTubeCurrent); }
FxCode FxExposureTime() { return Of(CODE_DCM_ExposureTime); }
FxCode FxExposureTimeRetired() { return Of(CODE_DCM_RETIRED_ExposureTime); }
FxCode FxExposure() { return Of(CODE_DCM_Exposure); }
FxCode FxDap() { return Of(CODE_DCM_DoseAreaProduct); }
FxCode FxDoseRp() { return Of(CODE_DCM_Dose_RP); }
FxCode FxSid() { return Of(CODE_DCM_DistanceSourceToDetector); }
FxCode FxSourceToIsocenter() { return Of(CODE_DCM_DistanceSourceToIsocenter); }
FxCode FxFieldHeight() { return Of(CODE_DCM_CollimatedFieldHeight); }
FxCode FxFieldWidth() { return Of(CODE_DCM_CollimatedFieldWidth); }
FxCode FxFieldArea() { return Of(CODE_DCM_CollimatedFieldArea); }
FxCode FxEquivalentThickness() { return Of(CODE_DCM_PatientEquivalentThickness); }
FxCode FxTargetRegion() { return Of(CODE_DCM_TargetRegion); }
FxCode FxImageView() { return Of(CODE_DCM_ImageView); }
FxCode FxReferencePoint() { return Of(CODE_DCM_ReferencePointDefinition); }
FxCode FxProtocol() { return Of(CODE_DCM_AcquisitionProtocol); }
FxCode FxStationary() { return Of(CODE_DCM_StationaryAcquisition_113611); }
FxCode FxInDetectorPlane() { return Of(CODE_DCM_InDetectorPlane); }

FxEvent FxRadiograph() {
    FxEvent e;
    e.nums = {{FxKvp(), "80", "kV"},
              {FxTubeCurrent(), "250", "mA"},
              {FxExposureTime(), "20", "ms"},
              {FxExposure(), "5000", "uA.s"},
              {FxSid(), "1100", "mm"}};
    return e;
}

std::string WriteReport(const FxReport& r, bool preamble) {
    DcmFileFormat ff;
    DcmDataset& ds = *ff.getDataset();
    const std::string sop = r.sopClass.empty() ? UID_XRayRadiationDoseSRStorage : r.sopClass;
    ds.putAndInsertString(DCM_SOPClassUID, sop.c_str());
    ds.putAndInsertString(DCM_SOPInstanceUID, NewUid().c_str());
    ds.putAndInsertString(DCM_Modality, "SR");
    PutPatient(ds, r.patient);
    PutDevice(ds, r.device);
    if (!r.studyDate.empty()) ds.putAndInsertString(DCM_StudyDate, r.studyDate.c_str());
    ds.putAndInsertString(DCM_ValueType, "CONTAINER");
    DcmItem* cn = nullptr;
    ds.findOrCreateSequenceItem(DCM_ConceptNameCodeSequence, cn, -2);
    PutCode(*cn, Of(CODE_DCM_XRayRadiationDoseReport));
    ds.putAndInsertString(DCM_ContinuityOfContent, "SEPARATE");
    AddText(ds, Of(CODE_DCM_DeviceObserverUID), r.device.observerUid, "UIDREF", "HAS OBS CONTEXT");
    AddText(ds, Of(CODE_DCM_DeviceObserverManufacturer), r.device.manufacturer, "TEXT",
            "HAS OBS CONTEXT");
    if (r.ctReport) {
        DcmItem* acq = AddItem(ds, "CONTAINS", "CONTAINER", Of(CODE_DCM_CTAcquisition));
        AddNum(*acq, {FxKvp(), "120", "kV"});
        return Save(ff, preamble);
    }
    DcmItem* acc = AddItem(ds, "CONTAINS", "CONTAINER", Of(CODE_DCM_AccumulatedXRayDoseData));
    AddNum(*acc, {Of(CODE_DCM_DoseAreaProductTotal), "0.00001", "Gy.m2"});
    for (const FxEvent& e : r.events) {
        DcmItem* ev = AddItem(ds, "CONTAINS", "CONTAINER", Of(CODE_DCM_IrradiationEventXRayData));
        AddCode(*ev, Of(CODE_DCM_IrradiationEventType), e.type);
        AddText(*ev, Of(CODE_DCM_IrradiationEventUID), e.uid.empty() ? NewUid() : e.uid, "UIDREF");
        for (const auto& [name, value] : e.codes) AddCode(*ev, name, value);
        for (const auto& [name, text] : e.texts) AddText(*ev, name, text);
        if (!e.started.empty()) AddText(*ev, Of(CODE_DCM_DateTimeStarted), e.started, "DATETIME");
        for (const FxNum& n : e.nums) AddNum(*ev, n);
        for (const FxFilter& f : e.filters) {
            DcmItem* box = AddItem(*ev, "CONTAINS", "CONTAINER", Of(CODE_DCM_XRayFilters));
            if (f.noFilter) {
                AddCode(*box, Of(CODE_DCM_XRayFilterType), Of(CODE_DCM_NoFilter));
                continue;
            }
            AddCode(*box, Of(CODE_DCM_XRayFilterMaterial), f.material);
            if (f.minMm) AddNum(*box, {Of(CODE_DCM_XRayFilterThicknessMinimum), *f.minMm, "mm"});
            if (f.maxMm) AddNum(*box, {Of(CODE_DCM_XRayFilterThicknessMaximum), *f.maxMm, "mm"});
        }
    }
    return Save(ff, preamble);
}

std::string WriteImage(const FxImage& img, bool preamble) {
    DcmFileFormat ff;
    DcmDataset& ds = *ff.getDataset();
    const std::string sop =
        img.sopClass.empty() ? UID_DigitalXRayImageStorageForPresentation : img.sopClass;
    ds.putAndInsertString(DCM_SOPClassUID, sop.c_str());
    ds.putAndInsertString(DCM_SOPInstanceUID, NewUid().c_str());
    ds.putAndInsertString(DCM_Modality, "DX");
    PutPatient(ds, img.patient);
    PutDevice(ds, img.device);
    for (const auto& [tag, text] : img.attributes)
        ds.putAndInsertString(
            DcmTagKey(static_cast<Uint16>(tag.first), static_cast<Uint16>(tag.second)),
            text.c_str());
    return Save(ff, preamble);
}

FxImage FxChestImage() {
    FxImage img;
    img.attributes = {{{0x0018, 0x0060}, "110"},  {{0x0018, 0x1151}, "320"},
                      {{0x0018, 0x1150}, "10"},   {{0x0018, 0x1152}, "3.2"},
                      {{0x0018, 0x1110}, "1800"}, {{0x0018, 0x0015}, "CHEST"},
                      {{0x0018, 0x5101}, "PA"},   {{0x0008, 0x0022}, "20261202"}};
    return img;
}

}  // namespace dovex::testing
