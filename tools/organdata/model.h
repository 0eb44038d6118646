// SPDX-License-Identifier: MIT
#pragma once
// Geometric model of the adult reference patient and of the standard field of each exam part,
// from which the organ data files of the effective-dose estimate are derived: for every tissue
// row a depth range (as fractions of the body thickness, so that it scales with the patient) and
// the share of the tissue that lies inside the field.
//
// Anatomy: ICRP Publication 110 adult reference computational phantoms (AM and AF), figures as
// tabulated in tools/reference/organ-geometry.md (depth percentiles along AP, PA and lateral
// rays, craniocaudal percentiles, red bone marrow by site, body thickness at organ levels). The
// lateral extents of the organs, which those tables do not give, are taken from the same
// phantoms' anatomy as described in ICRP Publication 89 and standard anatomy texts; they are
// marked "assumed" in model.cpp. Every estimate is made for AM and AF separately and averaged,
// as the effective dose of ICRP Publication 103 averages the two sexes.
//
// Standard fields and thicknesses: the Japanese standard patient of the diagnostic reference
// levels 2015 (J-RIME), as tabulated by Canon Medical Systems
// (https://jp.medical.canon/products/xray/conditions), and common radiographic practice for the
// projections that table does not list.
#include <string>
#include <vector>

namespace dovex::organdata {

enum class Projection { AP, PA, RLAT };  // RLAT: the beam enters the patient's right side

struct ExamGeometry {
    std::string name;       // exam part, "胸部正面"
    Projection projection;  // entrance side
    double fieldLong;       // cm at the receptor, craniocaudal
    double fieldShort;      // cm at the receptor, across the body (lateral for AP/PA, AP for RLAT)
    double sid;             // focus to receptor, cm
    double thickness;       // standard body thickness on the axis, cm
    // Field centre per phantom: craniocaudal (cm below the vertex) and transverse (lateral cm
    // from the midline, patient's right negative, for AP/PA; for RLAT the fraction of the AP
    // thickness measured from the front).
    double zAM, zAF;
    double tAM, tAF;
    // Body thickness front to back at the field centre (cm), used for RLAT fields.
    double apThicknessAM, apThicknessAF;
    // Standard exposure for the effective-dose table (kV, mAs) as published or assumed.
    double kv, mas;
    std::string note;  // source of the geometry and conditions
};

// Method parameters, the same for every exam part.
struct Method {
    // Off-axis dose profile across each field edge, relative to the central axis at the same
    // depth: inside the field the dose falls towards the edge (less scatter from the side where
    // the field ends; half the primary at the geometric edge), outside it decays with the
    // distance from the edge (scatter only). At a distance u inside the edge the relative dose
    // is 1 - (1 - edgeValue) exp(-u / insideLength); at u outside it is
    // edgeValue exp(-u / L), L rising from surfaceOutsideLength at the surface to outsideLength
    // at depth. The share written for a tissue is its mass-weighted
    // relative dose over this profile in both directions across the beam, so that tissue near
    // or beyond the edge counts with the dose it actually receives.
    double edgeValue = 0.5;
    double insideLength = 2.0;          // cm
    double outsideLength = 4.0;         // cm, at depth
    double surfaceOutsideLength = 1.0;  // cm, at the surface
    // Distance (cm) from the exit surface to the image receptor.
    double receptorGap = 3.0;
    // Share of the bone surface (endosteum) in the trunk and skull, distributed like the red
    // marrow; the rest lies in the long bones of the limbs, outside every trunk field.
    double boneSurfaceAxialShare = 0.5;
    // Dose to the marrow spaces of spongiosa per dose to soft tissue in the same beam: the bone
    // mineral of spongiosa absorbs more energy per unit mass than soft tissue at diagnostic
    // energies (red bone marrow and bone surface doses as spongiosa kerma).
    double spongiosaFactor = 1.25;
    // Lung dose relative to the depth dose of a homogeneous body at the lung's water-equivalent
    // depth: most of the dose at these depths is scatter, and the lung and its surroundings
    // scatter less than soft tissue of the same volume would.
    double lungScatterFactor = 0.6;
    // Extra water-equivalent depth (cm) of tissue behind one cranial vault of bone (the brain;
    // the airways, mouth and salivary glands behind facial bone count in vaults of it): the
    // vault is 0.7 cm of cortical bone (as in the head backscatter phantom). At the
    // 50 keV typical of a 75 kV beam behind the scalp, ICRU-44 cortical bone attenuates
    // 0.815 cm^-1 against soft tissue's 0.240 cm^-1 (xraylib): 0.7 cm of bone stands for
    // 2.4 cm of soft tissue, 1.7 cm more than its own thickness.
    double vaultWaterEquivalent = 1.7;
    // Scatter in the face and neck below a field on the cranium relative to the scatter of a
    // body filling the field (the neck is about 11 cm wide under a 17 cm field, the face holds
    // the nasal and oral cavities); checked against the skull PA organ doses of the voxel
    // reference (salivary glands, oral mucosa, extrathoracic airways, thyroid).
    double neckScatterFactor = 0.55;
};

struct TissueRecord {
    std::string label;  // tissue name
    int startMode = 1;
    double startValue = 0;
    int endMode = 1;
    double endValue = 0;
    double percentage = 0;  // per cent inside the field
};

// The 16 records of one exam part, in the order of the tissue rows.
std::vector<TissueRecord> BuildRecords(const ExamGeometry& exam, const Method& method);

// Records of the 13 remainder tissues one by one (each as if it were the whole remainder), for
// checking the remainder against organ doses given per tissue.
std::vector<TissueRecord> RemainderTissueRecords(const ExamGeometry& exam, const Method& method);

// The exam parts of the list file, in its order (without "その他").
const std::vector<ExamGeometry>& StandardExams();

// The skull PA radiograph of the voxel-phantom reference (75 kV, 25 x 20 cm at SID 100 centred
// on the brain, 20.7 cm on the axis): not an exam part of the list, but the geometry on which the
// head anatomy is checked.
const ExamGeometry& SkullPaGeometry();

// Text of one organ data file (UTF-8; the caller converts to cp932): 16 lines of 7 fields.
std::vector<std::string> RecordLines(const std::vector<TissueRecord>& records);

// Lines of the exam-part list file, ending with "その他".
std::vector<std::string> ExamPartLines();

// Lines of "標準体格.txt" (UTF-8): the standard adult patient of every exam part (thickness, usual
// field, SID, the receptor gap of `m`) and of "その他" (the program's start-up conditions), for
// the conditions a dose record does not give.
std::vector<std::string> StandardPatientLines(const Method& m);

const char* ProjectionName(Projection p);

}  // namespace dovex::organdata
