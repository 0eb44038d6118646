// SPDX-License-Identifier: MIT
#include "tools/organdata/model.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "engine/conditions.h"
#include "engine/numtext.h"

namespace dovex::organdata {

namespace {

// Depth of a tissue below the entrance surface along parallel rays: 10th and 90th mass
// percentiles (cm), the median local body thickness of those rays (cm) and, where given, the
// median depth (cm). Without a median the tissue is taken as uniform between p10 and p90; with
// it, uniform between p10 and p50 and between p50 and p90 with 40 % of the mass in each (the
// head tissues, whose depth distributions are far from even: the marrow of the cranial vault
// is a shell, densest just under the entrance surface).
struct Depth {
    double p10, p90, t;
    double p50 = -1;
};

// One tissue (or tissue part, or red-marrow site) in one phantom.
struct Part {
    double z5, z50, z95;  // cm below the vertex, 5th/50th/95th mass percentiles
    Depth ap, pa, rlat;
    double xlo, xhi;         // lateral extent, cm from the midline (patient's right negative)
    bool bilateral = false;  // true: |x| in [xlo, xhi] on both sides
    double share = 1.0;      // mass share of the tissue that this part holds
    bool armsOnly = false;   // lies in the arms (raised out of lateral fields)
    // Bone the beam crosses before reaching the tissue, in units of the cranial vault (see
    // Method::vaultWaterEquivalent): 1 for the brain inside the vault and for the airways and
    // mouth behind the skull base and upper cervical spine (from behind) or the maxilla,
    // mandible and teeth (from the front), 0.5 for the salivary glands, half of which lies
    // behind the mandibular ramus or the mastoid process.
    double behindBone = 0;
};

struct Tissue {
    std::vector<Part> am, af;
};

Part P(double z5, double z50, double z95, Depth ap, Depth pa, Depth rl, double xlo, double xhi,
       bool bilateral = false, double share = 1.0) {
    return Part{z5, z50, z95, ap, pa, rl, xlo, xhi, bilateral, share, false};
}

// ---- Organs of ICRP 110 AM and AF (organ-geometry.md, tables A.1b; lateral extents assumed).
const Tissue kBreast{
    {P(44, 45, 46, {0.3, 0.8, 21}, {18.6, 21.4, 21}, {0.6, 24.6, 24}, 2, 14, true)},
    {P(36, 38, 41, {0.9, 3.3, 19}, {15.0, 18.7, 19}, {1.5, 21.0, 22}, 2, 14, true)}};
const Tissue kLung{
    {P(33, 40, 48, {4.2, 15.5, 21}, {5.9, 16.4, 21}, {7.9, 29.1, 34}, 2.5, 14, true)},
    {P(29, 38, 44, {5.1, 14.4, 18}, {4.1, 13.0, 18}, {5.7, 24.2, 28}, 2.5, 13, true)}};
const Tissue kStomach{{P(48, 52, 57, {3.7, 12.1, 22}, {9.6, 18.3, 22}, {15.0, 24.4, 29}, -1, 12)},
                      {P(45, 52, 57, {3.2, 10.3, 18}, {7.7, 15.0, 18}, {11.8, 22.3, 25}, -1, 11)}};
const Tissue kColon{{P(55, 62, 84, {3.7, 12.0, 19}, {7.6, 17.2, 19}, {5.1, 26.4, 30}, -12, 12)},
                    {P(60, 67, 81, {2.9, 10.2, 18}, {8.2, 15.7, 18}, {5.7, 22.8, 28}, -12, 12)}};
const Tissue kLiver{{P(47, 52, 57, {4.1, 15.1, 22}, {6.4, 17.8, 22}, {3.6, 14.1, 30}, -14, 6)},
                    {P(44, 49, 54, {3.5, 11.9, 18}, {5.2, 14.9, 18}, {3.5, 14.4, 26}, -13, 5)}};
const Tissue kOesophagus{
    {P(24, 38, 49, {3.9, 12.3, 20}, {8.5, 10.9, 20}, {6.6, 24.5, 33}, -1.5, 1.5)},
    {P(22, 33, 45, {3.8, 10.2, 16}, {7.3, 9.7, 16}, {13.7, 21.9, 28}, -1.5, 1.5)}};
// Lateral rays at thyroid level cross the shoulders in the voxel data; for a lateral view of the
// neck the gland lies in the middle of the neck (lobes either side of the trachea): assumed
// 0.3..0.7 of a 13 cm neck.
const Tissue kThyroid{{P(27, 28, 30, {1.7, 3.4, 14}, {10.6, 12.4, 14}, {3.9, 9.1, 13}, -3, 3)},
                      {P(24, 25, 27, {1.5, 3.0, 13}, {9.5, 11.7, 13}, {3.9, 9.1, 13}, -3, 3)}};
const Tissue kBladder{{P(80, 83, 85, {3.7, 10.1, 19}, {9.4, 15.5, 19}, {14.3, 21.4, 36}, -4, 4)},
                      {P(77, 79, 82, {1.4, 7.2, 19}, {11.6, 17.5, 19}, {12.2, 21.6, 34}, -4, 4)}};
const Tissue kGonads{
    {P(96, 98, 100, {0.9, 5.0, 17}, {8.4, 14.9, 17}, {15.4, 17.9, 32}, -3, 3)},
    {P(78, 80, 82, {8.8, 10.5, 19}, {8.3, 10.0, 19}, {14.9, 22.3, 38}, 4, 8, true)}};
// A tissue of the head (depth medians from the same tables) with `behindBone` vaults of bone in
// front of it (see Part).
Part Head(Part p, double behindBone = 0) {
    p.behindBone = behindBone;
    return p;
}
const Tissue kBrain{
    {Head(P(4, 8, 12, {4.7, 15.7, 19, 10.1}, {3.7, 14.0, 19, 8.1}, {3.1, 11.6, 15, 6.9}, -7, 7),
          1.0)},
    {Head(P(4, 8, 12, {3.9, 14.5, 18, 9.0}, {3.4, 14.1, 18, 7.7}, {2.8, 10.7, 13, 6.3}, -7, 7),
          1.0)}};
const Tissue kSalivary{
    {Head(P(13, 17, 22, {3.1, 6.8, 10, 5.2}, {2.2, 10.0, 10, 4.9}, {0.9, 15.1, 15, 4.5}, -6, 6),
          0.5)},
    {Head(P(14, 16, 20, {4.2, 7.8, 12, 5.9}, {3.3, 8.7, 12, 5.9}, {1.3, 12.5, 13, 4.1}, -6, 6),
          0.5)}};

// ---- Red bone marrow by site: share of the total (table A.2, the same for AM and AF), site
// depths and craniocaudal percentiles (table A.1b); lateral extents assumed.
struct Site {
    double share;
    Part am, af;
    // Share of the whole bone surface (endosteum) at the site; < 0: Method::boneSurfaceAxialShare
    // times the marrow share.
    double boneSurface = -1;
};
// The cranium holds far more of the bone surface than of the red marrow: its vault and base are
// mostly compact bone, about a sixth of the adult skeleton's mass (ICRP Publication 70), with
// little marrow in the diploe. Its share of the endosteum is assumed as 9 % (against 3.8 % for
// half its marrow share, the rule of the trunk sites), which the skull PA bone-surface dose of
// the voxel reference bears out.
constexpr double kCraniumBoneSurfaceShare = 0.09;

const std::vector<Site>& MarrowSites() {
    static const std::vector<Site> sites = {
        {0.175,  // os coxae
         P(72, 80, 89, {3.7, 12.8, 18}, {5.5, 13.7, 18}, {7.5, 27.4, 35}, 4, 15, true),
         P(68, 74, 84, {4.1, 12.0, 18}, {6.5, 13.4, 18}, {8.6, 26.2, 36}, 4, 15, true)},
        {0.161,  // thoracic spine
         P(28, 44, 56, {7.6, 18.1, 21}, {3.7, 8.0, 21}, {13.8, 23.4, 33}, -3.5, 3.5),
         P(26, 40, 51, {7.5, 14.8, 18}, {3.3, 7.6, 18}, {11.5, 20.5, 27}, -3.5, 3.5)},
        {0.161,  // ribs
         P(32, 46, 59, {2.6, 18.4, 19}, {3.4, 16.8, 19}, {2.2, 29.3, 32}, 1, 15, true),
         P(27, 41, 54, {2.8, 15.3, 16}, {2.8, 13.2, 16}, {2.3, 24.9, 27}, 1, 14, true)},
        {0.123,  // lumbar spine
         P(58, 65, 72, {10.8, 16.5, 20}, {4.3, 9.0, 20}, {12.7, 17.9, 31}, -4, 4),
         P(52, 61, 68, {8.5, 13.2, 18}, {4.7, 9.5, 18}, {11.6, 16.4, 28}, -4, 4)},
        {0.099,  // sacrum
         P(73, 76, 80, {11.2, 15.4, 20}, {3.7, 8.2, 20}, {12.7, 20.5, 34}, -5, 5),
         P(68, 70, 76, {9.6, 16.2, 20}, {3.2, 9.7, 20}, {12.1, 19.9, 33}, -5, 5)},
        {0.076,  // cranium
         Head(P(2, 7, 15, {1.6, 17.5, 16, 7.0}, {1.9, 16.5, 16, 6.7}, {1.5, 11.5, 11, 4.7}, -8, 8)),
         Head(P(2, 8, 14, {1.6, 14.9, 15, 5.9}, {1.7, 14.9, 15, 6.4}, {1.5, 11.1, 11, 4.5}, -8, 8)),
         kCraniumBoneSurfaceShare},
        {0.067,  // upper femora
         P(84, 88, 99, {5.8, 9.0, 16}, {7.1, 11.2, 16}, {5.9, 31.9, 37}, 7, 17, true),
         P(79, 82, 86, {6.3, 8.9, 18}, {8.7, 11.8, 18}, {6.1, 31.3, 37}, 7, 17, true)},
        {0.039,  // cervical spine
         P(16, 21, 27, {5.5, 12.0, 17}, {5.6, 8.4, 17}, {4.8, 14.4, 14}, -3, 3),
         P(15, 20, 24, {5.4, 11.5, 15}, {4.0, 7.2, 15}, {4.0, 16.4, 13}, -3, 3)},
        {0.031,  // sternum
         P(32, 39, 47, {1.2, 2.2, 20}, {14.7, 19.9, 20}, {11.6, 16.1, 27}, -2, 2),
         P(31, 36, 44, {1.6, 3.0, 18}, {13.0, 15.8, 18}, {10.7, 17.7, 24}, -2, 2)},
        {0.028,  // scapulae
         P(28, 31, 40, {4.1, 15.3, 13}, {2.3, 7.3, 13}, {4.9, 36.3, 41}, 8, 18, true),
         P(23, 26, 34, {3.7, 11.5, 12}, {2.7, 7.3, 12}, {5.8, 31.6, 38}, 8, 18, true)},
        {0.023,  // upper humeri (arms at the sides in frontal views; raised for lateral views)
         Part{30, 37, 45, {3, 7, 10}, {3, 7, 10}, {0, 0, 1}, 16, 22, true, 1.0, true},
         Part{26, 33, 40, {3, 7, 10}, {3, 7, 10}, {0, 0, 1}, 15, 21, true, 1.0, true}},
        {0.008,  // mandible
         Head(P(16, 19, 22, {2.1, 6.0, 16, 3.7}, {8.2, 15.9, 16, 12.4}, {2.2, 11.0, 11, 3.9}, -5,
                5)),
         Head(
             P(14, 19, 21, {1.8, 5.8, 14, 2.8}, {7.1, 13.6, 14, 10.7}, {2.0, 9.6, 9, 3.3}, -5, 5))},
        {0.008,  // clavicles
         P(28, 30, 32, {1.1, 3.2, 13}, {4.7, 14.0, 13}, {7.5, 31.5, 40}, 1, 17, true),
         P(22, 27, 30, {1.5, 2.9, 12}, {5.7, 12.7, 12}, {7.0, 26.5, 37}, 1, 17, true)},
    };
    return sites;
}

// ---- Remainder tissues of ICRP Publication 103 (13 per sex, each 1/13 of the remainder dose).
// Heart, kidneys, pancreas, spleen and small intestine from table A.1b; the others assumed from
// ICRP 89 anatomy: adrenals above the kidneys, extrathoracic airways (nasal passages from the
// level of the eyes down to the pharynx and larynx, most of the mass in the nasal cavity), gall
// bladder under the liver, oral mucosa (depths on the rays through the mouth, 17 / 15 cm front to
// back, table A.3), thymus behind the upper sternum, prostate (AM) and uterus (AF) in the
// pelvis. Muscle and lymph nodes are spread through the body: the trunk's share (muscle 40 %,
// lymph nodes 60 %) uniformly over the trunk, a head-and-neck share, the rest in the limbs.
// Head and neck shares of muscle (scalp, face, jaw and the posterior neck muscles, about 1 kg of
// the 29 kg of skeletal muscle of the reference male, 0.6 of the female's 17.5 kg) and of the
// lymph nodes (cervical and submandibular chains); assumed.
constexpr double kHeadMuscleShare = 0.035;
constexpr double kHeadLymphShare = 0.12;

std::vector<Part> RemainderParts(bool male) {
    std::vector<Part> r;
    if (male) {
        r.push_back(P(36, 44, 48, {3.9, 11.2, 22}, {9.7, 17.5, 22}, {14.1, 24.5, 33}, -4, 8));
        r.push_back(P(55, 58, 62, {13.1, 17.3, 22}, {5.0, 8.1, 22}, {5.6, 23.1, 29}, 2, 8, true));
        r.push_back(P(55, 56, 59, {8.0, 11.9, 22}, {10.7, 13.9, 22}, {11.1, 18.5, 30}, -3, 9));
        r.push_back(P(48, 51, 54, {11.2, 17.2, 21}, {3.9, 8.0, 21}, {22.1, 27.1, 31}, 7, 13));
        r.push_back(P(56, 67, 79, {3.8, 11.2, 20}, {8.9, 15.4, 20}, {7.9, 24.1, 30}, -9, 9));
        r.push_back(P(52, 54, 56, {12.0, 16.0, 22}, {5.5, 9.0, 22}, {9.0, 20.0, 29}, 1, 5, true));
        r.push_back(Head(P(10, 15.5, 24, {2.0, 10.0, 19, 6.0}, {9.0, 17.0, 19, 13.0},
                           {4.0, 11.0, 15, 7.5}, -2, 2),
                         1.0));
        r.push_back(P(54, 57, 60, {3.0, 8.0, 22}, {14.0, 19.0, 22}, {5.0, 10.0, 30}, -8, -3));
        r.push_back(Head(
            P(16, 17.5, 19, {1.5, 8.0, 17, 4.5}, {9.0, 15.5, 17, 12.5}, {3.0, 9.0, 12, 6.0}, -3, 3),
            1.0));
        r.push_back(P(33, 35, 38, {1.5, 4.0, 21}, {17.0, 19.5, 21}, {12.0, 22.0, 33}, -3, 3));
        r.push_back(P(85, 87, 89, {9.0, 12.0, 19}, {7.0, 10.0, 19}, {14.0, 20.0, 34}, -2, 2));
        r.push_back(
            P(28.25, 57.5, 86.75, {2, 18, 20}, {2, 18, 20}, {3, 27, 30}, -17, 17, false, 0.4));
        r.push_back(
            P(28.25, 57.5, 86.75, {2, 18, 20}, {2, 18, 20}, {3, 27, 30}, -17, 17, false, 0.6));
        r.push_back(Head(P(10, 20, 27, {4.0, 13.0, 15, 10.0}, {1.0, 9.0, 15, 4.0},
                           {1.0, 11.0, 12, 6.0}, -6, 6, false, kHeadMuscleShare)));
        r.push_back(Head(P(15, 21, 27, {2.0, 11.0, 13, 6.0}, {2.0, 11.0, 13, 7.0},
                           {1.0, 11.0, 12, 6.0}, 2, 6, true, kHeadLymphShare)));
    } else {
        r.push_back(P(34, 39, 44, {3.6, 10.2, 18}, {8.3, 14.7, 18}, {12.1, 20.9, 27}, -4, 8));
        r.push_back(P(52, 55, 59, {8.5, 13.1, 18}, {5.1, 8.5, 18}, {6.1, 20.0, 27}, 2, 8, true));
        r.push_back(P(52, 55, 58, {5.5, 8.8, 18}, {9.9, 12.6, 18}, {8.4, 18.1, 26}, -3, 9));
        r.push_back(P(46, 48, 52, {8.1, 14.0, 17}, {3.9, 6.9, 17}, {17.1, 23.6, 26}, 7, 13));
        r.push_back(P(54, 67, 76, {3.6, 10.2, 19}, {7.6, 15.5, 19}, {9.3, 21.3, 28}, -9, 9));
        r.push_back(P(49, 51, 53, {9.0, 13.0, 18}, {5.0, 8.5, 18}, {8.0, 18.0, 27}, 1, 5, true));
        r.push_back(Head(P(10, 15, 22.5, {2.0, 9.5, 18, 5.5}, {8.5, 16.0, 18, 12.5},
                           {4.0, 10.0, 13, 7.0}, -2, 2),
                         1.0));
        r.push_back(P(51, 54, 57, {3.0, 7.0, 18}, {11.0, 15.0, 18}, {4.5, 9.0, 26}, -8, -3));
        r.push_back(Head(
            P(15, 16.5, 18, {1.5, 7.0, 15, 4.0}, {8.0, 13.5, 15, 11.0}, {3.0, 9.0, 12, 6.0}, -3, 3),
            1.0));
        r.push_back(P(30, 32, 35, {1.5, 3.5, 18}, {14.5, 16.5, 18}, {10.0, 18.0, 27}, -3, 3));
        r.push_back(P(73, 76, 79, {5.0, 11.0, 19}, {8.0, 14.0, 19}, {13.0, 21.0, 34}, -4, 4));
        r.push_back(
            P(26.0, 54.0, 82.0, {2, 16, 18}, {2, 16, 18}, {3, 25, 28}, -16, 16, false, 0.4));
        r.push_back(
            P(26.0, 54.0, 82.0, {2, 16, 18}, {2, 16, 18}, {3, 25, 28}, -16, 16, false, 0.6));
        r.push_back(Head(P(10, 19, 25, {4.0, 12.0, 14, 9.0}, {1.0, 8.0, 14, 4.0},
                           {1.0, 10.0, 11, 5.5}, -5.5, 5.5, false, kHeadMuscleShare)));
        r.push_back(Head(P(14, 19.5, 25, {2.0, 10.0, 12, 5.5}, {2.0, 10.0, 12, 6.5},
                           {1.0, 10.0, 11, 5.5}, 2, 5.5, true, kHeadLymphShare)));
    }
    return r;
}

// Whole-body skin area, cm² (ICRP Publication 89: 1.90 m² male, 1.66 m² female).
constexpr double kSkinAreaAM = 19000;
constexpr double kSkinAreaAF = 16600;

// Piecewise-linear cumulative distribution through the 5th, 50th and 95th percentiles, with
// the same densities continued over the outer 5 % on each side.
double CdfZ(const Part& p, double z) {
    const double lo = p.z5 - (p.z50 - p.z5) / 9.0;
    const double hi = p.z95 + (p.z95 - p.z50) / 9.0;
    const double xs[] = {lo, p.z5, p.z50, p.z95, hi};
    const double ys[] = {0.0, 0.05, 0.5, 0.95, 1.0};
    if (z <= lo) return 0.0;
    if (z >= hi) return 1.0;
    for (int i = 1; i < 5; ++i) {
        if (z <= xs[i]) {
            const double w = xs[i] - xs[i - 1];
            return w > 0 ? ys[i - 1] + (ys[i] - ys[i - 1]) * (z - xs[i - 1]) / w : ys[i];
        }
    }
    return 1.0;
}

// Scatter share of the central-axis dose at a depth (cm): about 0.4 at the surface rising to
// 0.9 at depth, as in this program's depth-dose curves for 70 to 120 kV.
double ScatterShare(double depth) { return 0.9 - 0.5 * std::exp(-depth / 3.0); }

// Relative dose across one field direction at coordinate x for a field centred on c with
// half-width h at a depth where scatter carries the share s of the dose (see Method): the
// primary part ends at the geometric edge, the scatter part falls towards the edge inside and
// decays outside.
// `scatterScale` scales the scatter part where less tissue scatters than in a body filling the
// field (the neck below a head field).
double Profile(const Method& m, double x, double c, double h, double s, double depth,
               double scatterScale = 1.0) {
    const double u = h - std::abs(x - c);
    if (u >= 0)
        return (1.0 - s) +
               scatterScale * s * (1.0 - (1.0 - m.edgeValue) * std::exp(-u / m.insideLength));
    // Scatter spreads further sideways with depth: near the surface the dose outside the field
    // falls within about a centimetre.
    const double outside = m.surfaceOutsideLength + (m.outsideLength - m.surfaceOutsideLength) *
                                                        (1.0 - std::exp(-depth / 3.0));
    return scatterScale * s * m.edgeValue * std::exp(u / outside);
}

constexpr double kStep = 0.05;  // cm, integration step across the field

// Mean relative dose of a uniform distribution on [lo, hi].
double UniformDose(const Method& m, double lo, double hi, double c, double h, double s,
                   double depth) {
    if (hi <= lo) return Profile(m, lo, c, h, s, depth);
    const int n = std::max(1, static_cast<int>(std::ceil((hi - lo) / kStep)));
    const double dx = (hi - lo) / n;
    double sum = 0;
    for (int i = 0; i < n; ++i) sum += Profile(m, lo + (i + 0.5) * dx, c, h, s, depth);
    return sum / n;
}

const Depth& DepthFor(const Part& p, Projection pr) {
    switch (pr) {
        case Projection::AP:
            return p.ap;
        case Projection::PA:
            return p.pa;
        case Projection::RLAT:
            return p.rlat;
    }
    return p.ap;
}

struct PartResult {
    double inField = 0;  // mass-weighted relative dose across the beam (share "inside the field")
    double lo = 0, hi = 0;  // depth extent as fractions of the thickness
    double width = 0;       // 10th to 90th percentile width, fraction of the thickness
    // With a median depth: 10th, 50th and 90th percentiles as fractions of the thickness (10 %
    // of the mass in [lo, q10], 40 % in each of [q10, q50] and [q50, q90], 10 % in [q90, hi]);
    // q50 < 0: uniform in [lo, hi].
    double q10 = 0, q50 = -1, q90 = 0;
};

// Thickness (cm) on the axis of a field centred on the cranium, to which every depth is referred
// there: the face and neck, where the salivary glands, the mandible, the oral cavity and the
// thyroid lie, are far thinner front to back than the cranium the thickness of a head
// radiograph is measured on, so a depth as a fraction of its own rays' thickness would place
// them far too deep. Front to back: the thickness on the axis of the skull PA reference (21.2 cm
// AM, 20.2 AF, held as the exam's apThickness). Side to side: the median lateral ray thickness
// of the head (14.7 / 13.4 cm, table A.3) scaled to the 15.4 cm of a standard lateral head view.
// 0 for fields not centred on the cranium (there every tissue keeps its own rays' thickness).
double HeadAxisThickness(const ExamGeometry& g, bool male) {
    constexpr double kCraniumBottom = 15.0;  // cm below the vertex (table A.3: 15.6 / 16.2)
    if ((male ? g.zAM : g.zAF) >= kCraniumBottom) return 0;
    if (g.projection == Projection::RLAT) return (male ? 14.7 : 13.4) * 15.4 / 14.05;
    return male ? g.apThicknessAM : g.apThicknessAF;
}

// Share of a uniform distribution on [lo, hi] inside [a, b].
double Overlap(double lo, double hi, double a, double b) {
    if (hi <= lo) return (lo >= a && lo <= b) ? 1.0 : 0.0;
    return std::max(0.0, std::min(hi, b) - std::max(lo, a)) / (hi - lo);
}

// Share of a tissue part that lies in the lungs' shadow: at the lungs' craniocaudal levels,
// across the beam where the lungs are, and at or beyond the depth where the beam reaches them.
double LungShadow(const Part& p, const ExamGeometry& g, bool male, double lo, double hi) {
    const Part& lung = male ? kLung.am.front() : kLung.af.front();
    const double zShare = CdfZ(p, lung.z95) - CdfZ(p, lung.z5);
    const Depth& ld = DepthFor(lung, g.projection);
    const double front = std::clamp((ld.p10 - (ld.p90 - ld.p10) / 8) / ld.t, 0.0, 1.0);
    const double depthShare = hi <= lo ? (lo >= front ? 1.0 : 0.0) : Overlap(lo, hi, front, 1.0);
    double across = 1.0;
    if (g.projection != Projection::RLAT) {
        // Share of the tissue's lateral extent that lies across the lungs (either side).
        auto within = [&](double a, double b) {
            return Overlap(a, b, lung.xlo, lung.xhi) + Overlap(a, b, -lung.xhi, -lung.xlo);
        };
        across = p.bilateral ? 0.5 * (within(p.xlo, p.xhi) + within(-p.xhi, -p.xlo))
                             : within(p.xlo, p.xhi);
        across = std::min(across, 1.0);
    }
    return zShare * depthShare * across;
}

PartResult Evaluate(const Part& p, const ExamGeometry& g, const Method& m, bool male,
                    bool isLung = false) {
    PartResult r;
    const Depth& d = DepthFor(p, g.projection);
    const double axis = HeadAxisThickness(g, male);
    const double t = axis > 0 ? axis : d.t;
    // Tissue behind bone lies deeper in water-equivalent terms by the excess attenuation of the
    // bone the beam crosses first.
    const double shift = p.behindBone * m.vaultWaterEquivalent;
    auto rel = [&](double depth) { return std::clamp((depth + shift) / t, 0.0, 1.0); };
    // Depth density: uniform between the 10th and 90th percentiles (or between them and the
    // median), continued at the same density over the outer 10 % on each side.
    const double w = std::max(0.0, d.p90 - d.p10);
    if (d.p50 > 0) {
        r.lo = rel(d.p10 - (d.p50 - d.p10) / 4);
        r.hi = rel(d.p90 + (d.p90 - d.p50) / 4);
        r.q10 = rel(d.p10);
        r.q50 = rel(d.p50);
        r.q90 = rel(d.p90);
    } else {
        r.lo = rel(d.p10 - w / 8);
        r.hi = rel(d.p90 + w / 8);
    }
    r.width = std::clamp(w / t, 0.0, 1.0);
    if (p.armsOnly && g.projection == Projection::RLAT) return r;
    // Field at the organ's mid depth (beam divergence from the focus).
    const double fsd = g.sid - g.thickness - m.receptorGap;
    const double mid = 0.5 * (d.p10 + d.p90);
    const double scale = (fsd + mid) / g.sid;
    const double sc = ScatterShare(mid);
    const double halfLong = 0.5 * g.fieldLong * scale;
    const double halfShort = 0.5 * g.fieldShort * scale;
    const double zc = male ? g.zAM : g.zAF;
    const double tc = male ? g.tAM : g.tAF;
    // In a field on the cranium the face and neck below it, from the base of the cranium to
    // the lower end of the thyroid (table A.3: 15.6-30.0 cm AM, 16.2-27.3 AF), are far
    // narrower than the field and partly air (nasal and oral cavities, pharynx): they scatter
    // less than the body filling the field that the depth dose stands for.
    const bool headField = HeadAxisThickness(g, male) > 0;
    const double neckTop = male ? 15.6 : 16.2;
    const double neckBottom = male ? 30.0 : 27.3;
    // Craniocaudal: the piecewise-constant density of the percentile model.
    double pz = 0;
    {
        const double lo = p.z5 - (p.z50 - p.z5) / 9.0;
        const double hi = p.z95 + (p.z95 - p.z50) / 9.0;
        const int n = std::max(1, static_cast<int>(std::ceil((hi - lo) / kStep)));
        const double dz = (hi - lo) / n;
        for (int i = 0; i < n; ++i) {
            const double z0 = lo + i * dz;
            const double z = z0 + 0.5 * dz;
            const double scale =
                headField && z > neckTop && z < neckBottom ? m.neckScatterFactor : 1.0;
            pz += (CdfZ(p, z0 + dz) - CdfZ(p, z0)) * Profile(m, z, zc, halfLong, sc, mid, scale);
        }
    }
    double pt = 0;
    if (g.projection == Projection::RLAT) {
        // Across the field is front to back: the organ's extent from its AP-entrance depths.
        const double apT = male ? g.apThicknessAM : g.apThicknessAF;
        const double w = p.ap.p90 - p.ap.p10;
        pt = UniformDose(m, p.ap.p10 - w / 8, p.ap.p90 + w / 8, tc * apT, halfShort, sc, mid);
    } else if (p.bilateral) {
        pt = 0.5 * (UniformDose(m, p.xlo, p.xhi, tc, halfShort, sc, mid) +
                    UniformDose(m, -p.xhi, -p.xlo, tc, halfShort, sc, mid));
    } else {
        pt = UniformDose(m, p.xlo, p.xhi, tc, halfShort, sc, mid);
    }
    // Lung tissue, and tissue behind the lungs, receive less scatter than the homogeneous
    // body of the depth-dose curve would give them.
    const double shadow = isLung ? 1.0 : LungShadow(p, g, male, r.lo, r.hi);
    r.inField = p.share * pz * pt * (1.0 - (1.0 - m.lungScatterFactor) * shadow);
    return r;
}

// Effective attenuation coefficient of the central-axis depth dose (per cm) at a tube voltage:
// a fit to this program's depth-dose curves between 5 and 15 cm for 70 to 120 kV and fields
// of 15 x 8 to 43 x 35 cm (0.19 at 70 kV, 0.17 at 80 kV, 0.125 at 120 kV).
double EffectiveMu(double kv) { return 0.17 * std::pow(80.0 / kv, 0.85); }

// Mean of exp(-mu z) over the depths [a, b] (mu and depths in the same units).
double MeanExp(double mu, double a, double b) {
    if (b - a < 1e-9) return std::exp(-mu * a);
    return (std::exp(-mu * a) - std::exp(-mu * b)) / (mu * (b - a));
}

struct Combined {
    double inField = 0;
    double meanDose = 1;  // mass-weighted mean of exp(-mu z) over the tissue in the beam
    double width = 0;     // typical depth extent
};

// Combines parts weighted by mass share x relative dose across the beam (all parts by mass
// share when none lies in the beam).
Combined Combine(const std::vector<std::pair<double, PartResult>>& parts, double mu,
                 double compress = 1.0) {
    Combined c;
    double w = 0, m = 0, wd = 0;
    for (const auto& [weight, pr] : parts) c.inField += weight * pr.inField;
    const bool any = c.inField > 1e-9;
    for (const auto& [weight, pr] : parts) {
        const double k = any ? weight * pr.inField : weight;
        // Lung: the depth dose is taken at the water-equivalent depth, the front of the lung
        // plus `compress` times the path inside it.
        const double hiEq = pr.lo + compress * (pr.hi - pr.lo);
        w += k;
        if (pr.q50 >= 0) {
            m += k * (0.1 * MeanExp(mu, pr.lo, pr.q10) + 0.4 * MeanExp(mu, pr.q10, pr.q50) +
                      0.4 * MeanExp(mu, pr.q50, pr.q90) + 0.1 * MeanExp(mu, pr.q90, pr.hi));
        } else {
            m += k * MeanExp(mu, pr.lo, hiEq);
        }
        wd += k * pr.width;
    }
    if (w > 0) {
        c.meanDose = m / w;
        c.width = wd / w;
    }
    return c;
}

// Depth range [d1, d2] (fractions of the thickness, inside 0..1) of about the tissue's own width
// over which the mean of exp(-mu z) equals the tissue's mass-weighted mean: averaging the
// depth dose uniformly over this range gives the tissue's mean dose although the depth dose
// is far from linear over a wide organ.
std::pair<double, double> EquivalentRange(double meanDose, double width, double mu) {
    const double target = std::clamp(meanDose, 1e-12, 1.0);
    if (target >= 1.0) return {0.0, 0.0};
    const double x = 0.5 * mu * width;
    const double shape = x > 1e-9 ? std::log(std::sinh(x) / x) : 0.0;
    const double centre = (shape - std::log(target)) / mu;
    double d1 = centre - 0.5 * width;
    double d2 = centre + 0.5 * width;
    auto bisect = [](auto f, double a, double b) {
        for (int i = 0; i < 200; ++i) {
            const double mid = 0.5 * (a + b);
            (f(mid) > 0 ? a : b) = mid;
        }
        return 0.5 * (a + b);
    };
    if (d1 < 0) {  // start at the surface, find the end
        d1 = 0;
        d2 = bisect([&](double e) { return MeanExp(mu, 0, e) - target; }, 0.0, 1.0);
    } else if (d2 > 1) {  // end at the exit surface, find the start
        d2 = 1;
        d1 = bisect([&](double s) { return MeanExp(mu, s, 1.0) - target; }, 0.0, 1.0);
    }
    return {std::clamp(d1, 0.0, 1.0), std::clamp(d2, 0.0, 1.0)};
}

// Lung tissue: the estimate evaluates the lung over 0.3 of its depth extent from its front
// (its low density); the same compression is used here.
constexpr double kLungCompression = 0.3;

Combined EvaluateTissue(const Tissue& t, const ExamGeometry& g, const Method& m, double mu,
                        double compress = 1.0) {
    const bool lung = &t == &kLung;
    std::vector<std::pair<double, PartResult>> parts;
    for (const Part& p : t.am) parts.push_back({0.5, Evaluate(p, g, m, true, lung)});
    for (const Part& p : t.af) parts.push_back({0.5, Evaluate(p, g, m, false, lung)});
    return Combine(parts, mu, compress);
}

// Red marrow (`boneSurface` false) or bone surface, site by site.
Combined EvaluateMarrow(const ExamGeometry& g, const Method& m, double mu,
                        bool boneSurface = false) {
    std::vector<std::pair<double, PartResult>> parts;
    for (const Site& s : MarrowSites()) {
        double share = s.share;
        if (boneSurface)
            share = s.boneSurface >= 0 ? s.boneSurface : m.boneSurfaceAxialShare * share;
        parts.push_back({0.5 * share, Evaluate(s.am, g, m, true)});
        parts.push_back({0.5 * share, Evaluate(s.af, g, m, false)});
    }
    return Combine(parts, mu);
}

Combined EvaluateRemainder(const ExamGeometry& g, const Method& m, double mu) {
    std::vector<std::pair<double, PartResult>> parts;
    for (bool male : {true, false}) {
        for (const Part& p : RemainderParts(male)) {
            // Each of the 13 remainder tissues counts 1/13 (muscle and lymph nodes as a trunk
            // part and a head-and-neck part, each with its share held in Part::share).
            parts.push_back({0.5 / 13.0, Evaluate(p, g, m, male)});
        }
    }
    return Combine(parts, mu);
}

// Index (0..12) of the remainder tissue a part of RemainderParts belongs to.
int RemainderTissueOf(std::size_t part) {
    if (part == 13) return 11;  // head-and-neck muscle
    if (part == 14) return 12;  // head-and-neck lymph nodes
    return static_cast<int>(part);
}

double Round(double v, double unit) { return std::round(v / unit) * unit; }

TissueRecord Record(const std::string& label, const Combined& c, double mu, double factor = 1.0) {
    TissueRecord r;
    r.label = label;
    r.startMode = 1;
    r.endMode = 1;
    const auto [d1, d2] = EquivalentRange(c.meanDose, c.width, mu);
    r.startValue = Round(d1, 0.001);
    r.endValue = Round(std::max(d2, d1), 0.001);
    r.percentage = Round(100.0 * std::min(factor * c.inField, 1.0), 0.01);
    return r;
}

// The lung row: the range [d1, d2] is written so that its compressed part
// [d1, d1 + 0.3 (d2 - d1)] carries the lung's mean dose.
TissueRecord LungRecord(const Combined& c, double mu) {
    TissueRecord r = Record("肺", c, mu);
    const double width = kLungCompression * c.width;
    auto [e1, e2] = EquivalentRange(c.meanDose, width, mu);
    double d1 = e1;
    double d2 = e1 + (e2 - e1) / kLungCompression;
    if (d2 > 1.0) {
        // Keep the far end inside the body: find the front whose compressed range still
        // carries the mean dose with the far end at the exit surface.
        double a = 0, b = 1;
        for (int i = 0; i < 200; ++i) {
            const double s = 0.5 * (a + b);
            const double mean = MeanExp(mu, s, s + kLungCompression * (1.0 - s));
            (mean > c.meanDose ? a : b) = s;
        }
        d1 = 0.5 * (a + b);
        d2 = 1.0;
    }
    r.startValue = Round(d1, 0.001);
    r.endValue = Round(std::max(d1, d2), 0.001);
    return r;
}

double SkinShare(const ExamGeometry& g, const Method& m, double depth) {
    const double fsd = g.sid - g.thickness - m.receptorGap;
    const double scale = (fsd + depth) / g.sid;
    const double area = g.fieldLong * g.fieldShort * scale * scale;
    return 0.5 * (area / kSkinAreaAM + area / kSkinAreaAF);
}

}  // namespace

std::vector<TissueRecord> RemainderTissueRecords(const ExamGeometry& g, const Method& m) {
    static const char* const names[13] = {
        "heart",           "kidneys", "pancreas",     "spleen",      "small intestine",
        "adrenals",        "ET",      "gall bladder", "oral mucosa", "thymus",
        "prostate/uterus", "muscle",  "lymph nodes"};
    const double mu = EffectiveMu(g.kv) * g.thickness;
    std::vector<TissueRecord> out;
    for (int tissue = 0; tissue < 13; ++tissue) {
        std::vector<std::pair<double, PartResult>> parts;
        for (bool male : {true, false}) {
            const std::vector<Part> all = RemainderParts(male);
            for (std::size_t i = 0; i < all.size(); ++i)
                if (RemainderTissueOf(i) == tissue)
                    parts.push_back({0.5, Evaluate(all[i], g, m, male)});
        }
        out.push_back(Record(names[tissue], Combine(parts, mu), mu));
    }
    return out;
}

const char* ProjectionName(Projection p) {
    switch (p) {
        case Projection::AP:
            return "AP";
        case Projection::PA:
            return "PA";
        case Projection::RLAT:
            return "RLAT";
    }
    return "?";
}

std::vector<TissueRecord> BuildRecords(const ExamGeometry& g, const Method& m) {
    // Attenuation per unit of relative depth for the exam's standard thickness and voltage.
    const double mu = EffectiveMu(g.kv) * g.thickness;
    std::vector<TissueRecord> out;
    const Combined marrow = EvaluateMarrow(g, m, mu);
    out.push_back(Record("乳房", EvaluateTissue(kBreast, g, m, mu), mu));
    out.push_back(Record("骨髄(赤色)", marrow, mu, m.spongiosaFactor));
    out.push_back(Record("結腸", EvaluateTissue(kColon, g, m, mu), mu));
    out.push_back(LungRecord(EvaluateTissue(kLung, g, m, mu, kLungCompression), mu));
    out.push_back(Record("胃", EvaluateTissue(kStomach, g, m, mu), mu));
    out.push_back(Record("生殖腺", EvaluateTissue(kGonads, g, m, mu), mu));
    out.push_back(Record("甲状腺", EvaluateTissue(kThyroid, g, m, mu), mu));
    out.push_back(Record("食道", EvaluateTissue(kOesophagus, g, m, mu), mu));
    out.push_back(Record("肝臓", EvaluateTissue(kLiver, g, m, mu), mu));
    out.push_back(Record("膀胱", EvaluateTissue(kBladder, g, m, mu), mu));
    out.push_back(Record("骨表面", EvaluateMarrow(g, m, mu, true), mu, m.spongiosaFactor));
    TissueRecord entrance{"入射皮膚面", 0, 0, 0, 0, Round(100 * SkinShare(g, m, 0), 0.01)};
    TissueRecord exit{"射出皮膚面", 2, 0, 2, 0, Round(100 * SkinShare(g, m, g.thickness), 0.01)};
    out.push_back(entrance);
    out.push_back(exit);
    out.push_back(Record("脳", EvaluateTissue(kBrain, g, m, mu), mu));
    out.push_back(Record("唾液腺", EvaluateTissue(kSalivary, g, m, mu), mu));
    out.push_back(Record("残りの組織", EvaluateRemainder(g, m, mu), mu));
    return out;
}

const std::vector<ExamGeometry>& StandardExams() {
    // z: field centre below the vertex (AM, AF) from the landmarks of table A.3; t: lateral
    // centre (AP/PA) or AP position as a fraction of the AP thickness (RLAT).
    static const std::vector<ExamGeometry> exams = {
        {"胸部正面", Projection::PA, 35, 35, 200, 20, 40.0, 36.75, 0, 0, 20.8, 18.3, 120, 3.2,
         "PA, field 35 x 35 centred on the lungs; 120 kV 3.2 mAs (J-RIME/Canon at SID 200)"},
        {"胸部側面", Projection::RLAT, 43, 35, 200, 30, 40.0, 36.75, 0.5, 0.5, 20.8, 18.3, 120, 8,
         "right lateral entrance (left side to the receptor), 43 x 35 centred on the lungs"},
        {"腹部正面", Projection::AP, 43, 35, 120, 20, 64.8, 60.0, 0, 0, 22.0, 18.4, 76, 32,
         "AP, 43 x 35 centred on L3; 76 kV 32 mAs SID 120 (J-RIME/Canon)"},
        {"頭部正面", Projection::AP, 25, 20, 100, 19, 8.4, 8.7, 0, 0, 21.2, 20.2, 78, 32,
         "AP, 25 x 20 centred on the cranium; 78 kV 32 mAs SID 100 (J-RIME/Canon)"},
        {"頭部側面", Projection::RLAT, 25, 20, 100, 16, 8.4, 8.7, 0.5, 0.5, 19.1, 17.8, 74, 25,
         "right lateral entrance, 25 x 20; 74 kV 25 mAs SID 100 (J-RIME/Canon)"},
        {"頸椎正面", Projection::AP, 15, 8, 150, 12, 21.2, 19.35, 0, 0, 17.0, 15.0, 74, 14,
         "AP, 15 x 8 centred on C4; 74 kV 14 mAs SID 150 (J-RIME/Canon)"},
        {"頸椎側面", Projection::RLAT, 15, 8, 150, 12, 21.2, 19.35, 0.6, 0.63, 17.0, 15.0, 74, 22.4,
         "right lateral entrance, 15 x 8 on the cervical spine; 74 kV 22.4 mAs SID 150"},
        {"胸椎正面", Projection::AP, 35, 10, 100, 20, 42.0, 38.2, 0, 0, 20.8, 18.3, 74, 35.2,
         "AP, 35 x 10 centred on T6-T7; 74 kV 35.2 mAs SID 100 (J-RIME/Canon)"},
        {"胸椎側面", Projection::RLAT, 30, 10, 100, 30, 42.0, 38.2, 0.70, 0.66, 20.8, 18.3, 78,
         51.2, "right lateral entrance, 30 x 10 on the thoracic spine; 78 kV 51.2 mAs SID 100"},
        {"腰椎正面", Projection::AP, 30, 10, 100, 20, 64.8, 60.0, 0, 0, 20.1, 17.9, 74, 50,
         "AP, 30 x 10 centred on L3; 74 kV 50 mAs SID 100 (J-RIME/Canon)"},
        {"腰椎側面", Projection::RLAT, 30, 15, 100, 30, 64.8, 60.0, 0.665, 0.59, 20.1, 17.9, 84, 80,
         "right lateral entrance, 30 x 15 centred on L3; 84 kV 80 mAs SID 100"},
        {"骨盤正面", Projection::AP, 35, 43, 120, 20, 80.8, 75.5, 0, 0, 17.7, 18.3, 70, 56,
         "AP, 35 (craniocaudal) x 43 centred on the pelvis; 70 kV 56 mAs SID 120"},
        {"股関節正面", Projection::AP, 30, 24, 100, 18, 88.6, 82.7, -9.0, -9.5, 17.7, 18.3, 70, 32,
         "AP of the right hip, 30 x 24 centred on the femoral neck; 70 kV 32 mAs SID 100 "
         "(assumed)"},
    };
    return exams;
}

const ExamGeometry& SkullPaGeometry() {
    static const ExamGeometry g{
        "頭部PA",
        Projection::PA,
        25,
        20,
        100,
        20.7,
        8.4,
        8.7,
        0,
        0,
        21.2,
        20.2,
        75,
        10,
        "PA, 25 x 20 centred on the brain; 75 kV, 3 mm Al (voxel-phantom reference)"};
    return g;
}

std::vector<std::string> RecordLines(const std::vector<TissueRecord>& records) {
    if (records.size() != 16) throw std::runtime_error("an organ data file has 16 records");
    std::vector<std::string> lines;
    for (const TissueRecord& r : records) {
        lines.push_back(r.label + ",1," + std::to_string(r.startMode) + "," +
                        PlainNumber(r.startValue) + "," + std::to_string(r.endMode) + "," +
                        PlainNumber(r.endValue) + "," + PlainNumber(r.percentage));
    }
    return lines;
}

std::vector<std::string> ExamPartLines() {
    std::vector<std::string> lines;
    for (const ExamGeometry& g : StandardExams()) lines.push_back(g.name);
    lines.push_back("その他");
    return lines;
}

// The standard adult patient of every exam part, which the reading of dose records takes for
// what a record does not give: thickness, usual field, focus-receptor distance and the gap
// between the exit surface and the receptor, as the organ data files are built on.
std::vector<std::string> StandardPatientLines(const Method& m) {
    std::vector<std::string> lines = {
        "# 撮影部位ごとの標準的な成人患者: 線量記録に記録のない値の仮定に使う",
        "# 出典: 日本の診断参考レベル (2015年版) の推定に J-RIME が用いた標準体格と照射野"
        " (キヤノンメディカルシステムズ https://jp.medical.canon/products/xray/conditions の表),"
        " その表にない撮影は一般的な撮影条件 (tools/reference/organ-geometry.md)",
        "# 受像面との間隔は臓器データの幾何モデルの値; その他はプログラムの起動時の条件",
        "# dovex-organdata が tools/organdata/model.cpp から生成 (手で編集しないこと)",
        "# 撮影部位,体厚 cm,照射野 縦 cm,照射野 横 cm,FFD cm,受像面との間隔 cm"};
    auto row = [&](const std::string& name, double t, double fl, double fs, double ffd) {
        lines.push_back(name + "," + PlainNumber(t) + "," + PlainNumber(fl) + "," +
                        PlainNumber(fs) + "," + PlainNumber(ffd) + "," +
                        PlainNumber(m.receptorGap));
    };
    for (const ExamGeometry& g : StandardExams())
        row(g.name, g.thickness, g.fieldLong, g.fieldShort, g.sid);
    const ExposureConditions d;
    row("その他", d.subjectThickness, d.fieldLong, d.fieldShort, d.ffd);
    return lines;
}

}  // namespace dovex::organdata
