// Maximum-likelihood distances: the empirical amino-acid models, discrete gamma rates, the
// eigendecomposition of a reversible rate matrix and the Newton steps of one pair.
#include "dna_dist_ml.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace phylo::dna::detail {
namespace {

// JTT: Jones, Taylor and Thornton 1992, CABIOS 8:275-282 (the exchange rates and frequencies of
// PAML's jones.dat, from the SwissProt 22 data).
constexpr protein_table jtt_table = {
    {58.0,  54.0,  45.0,  81.0,  16.0,  528.0, 56.0,  113.0, 34.0,  10.0,  57.0,  310.0, 86.0,  49.0,  9.0,   105.0,
     29.0,  58.0,  767.0, 5.0,   323.0, 179.0, 137.0, 81.0,  130.0, 59.0,  26.0,  119.0, 27.0,  328.0, 391.0, 112.0,
     69.0,  597.0, 26.0,  23.0,  36.0,  22.0,  47.0,  11.0,  17.0,  9.0,   12.0,  6.0,   16.0,  30.0,  38.0,  12.0,
     7.0,   23.0,  72.0,  9.0,   6.0,   56.0,  229.0, 35.0,  646.0, 263.0, 26.0,  7.0,   292.0, 181.0, 27.0,  45.0,
     21.0,  14.0,  54.0,  44.0,  30.0,  15.0,  31.0,  43.0,  18.0,  14.0,  33.0,  479.0, 388.0, 65.0,  15.0,  5.0,
     10.0,  4.0,   78.0,  4.0,   5.0,   5.0,   40.0,  89.0,  248.0, 4.0,   43.0,  194.0, 74.0,  15.0,  15.0,  14.0,
     164.0, 18.0,  24.0,  115.0, 10.0,  102.0, 21.0,  16.0,  17.0,  378.0, 101.0, 503.0, 59.0,  223.0, 53.0,  30.0,
     201.0, 73.0,  40.0,  59.0,  47.0,  29.0,  92.0,  285.0, 475.0, 64.0,  232.0, 38.0,  42.0,  51.0,  32.0,  33.0,
     46.0,  245.0, 25.0,  103.0, 226.0, 12.0,  118.0, 477.0, 9.0,   126.0, 8.0,   4.0,   115.0, 18.0,  10.0,  55.0,
     8.0,   9.0,   52.0,  10.0,  24.0,  53.0,  6.0,   35.0,  12.0,  11.0,  20.0,  70.0,  46.0,  209.0, 24.0,  7.0,
     8.0,   573.0, 32.0,  24.0,  8.0,   18.0,  536.0, 10.0,  63.0,  21.0,  71.0,  298.0, 17.0,  16.0,  31.0,  62.0,
     20.0,  45.0,  47.0,  11.0,  961.0, 180.0, 14.0,  323.0, 62.0,  23.0,  38.0,  112.0, 25.0,  16.0},
    {0.076748, 0.051691, 0.042645, 0.051544, 0.019803, 0.040752, 0.06183,  0.073152, 0.022944, 0.053761,
     0.091904, 0.058676, 0.023826, 0.040126, 0.050901, 0.068765, 0.058565, 0.014261, 0.032102, 0.066005}};

// WAG: Whelan and Goldman 2001, Mol. Biol. Evol. 18:691-699 (PAML's wag.dat).
constexpr protein_table wag_table = {
    {0.551571,  0.509848,  0.635346,  0.738998,  0.147304,  5.42942,  1.02704,  0.528191, 0.265256,  0.0302949,
     0.908598,  3.0355,    1.54364,   0.616783,  0.0988179, 1.58285,  0.439157, 0.947198, 6.17416,   0.021352,
     5.46947,   1.41672,   0.584665,  1.12556,   0.865584,  0.306674, 0.330052, 0.567717, 0.316954,  2.13715,
     3.95629,   0.930676,  0.248972,  4.29411,   0.570025,  0.24941,  0.193335, 0.186979, 0.554236,  0.039437,
     0.170135,  0.113917,  0.127395,  0.0304501, 0.13819,   0.397915, 0.497671, 0.131528, 0.0848047, 0.384287,
     0.869489,  0.154263,  0.0613037, 0.499462,  3.17097,   0.906265, 5.35142,  3.01201,  0.479855,  0.0740339,
     3.8949,    2.58443,   0.373558,  0.890432,  0.323832,  0.257555, 0.893496, 0.683162, 0.198221,  0.103754,
     0.390482,  1.54526,   0.315124,  0.1741,    0.404141,  4.25746,  4.85402,  0.934276, 0.210494,  0.102711,
     0.0961621, 0.0467304, 0.39802,   0.0999208, 0.0811339, 0.049931, 0.679371, 1.05947,  2.11517,   0.088836,
     1.19063,   1.43855,   0.679489,  0.195081,  0.423984,  0.109404, 0.933372, 0.682355, 0.24357,   0.696198,
     0.0999288, 0.415844,  0.556896,  0.171329,  0.161444,  3.37079,  1.22419,  3.97423,  1.07176,   1.40766,
     1.02887,   0.704939,  1.34182,   0.740169,  0.31944,   0.344739, 0.96713,  0.493905, 0.545931,  1.61328,
     2.12111,   0.554413,  2.03006,   0.374866,  0.512984,  0.857928, 0.822765, 0.225833, 0.473307,  1.45816,
     0.326622,  1.38698,   1.51612,   0.171903,  0.795384,  4.37802,  0.113133, 1.16392,  0.0719167, 0.129767,
     0.71707,   0.215737,  0.156557,  0.336983,  0.262569,  0.212483, 0.665309, 0.137505, 0.515706,  1.52964,
     0.139405,  0.523742,  0.110864,  0.240735,  0.381533,  1.086,    0.325711, 0.543833, 0.22771,   0.196303,
     0.103604,  3.87344,   0.42017,   0.398618,  0.133264,  0.428437, 6.45428,  0.216046, 0.786993,  0.291148,
     2.48539,   2.00601,   0.251849,  0.196246,  0.152335,  1.00214,  0.301281, 0.588731, 0.187247,  0.118358,
     7.8213,    1.80034,   0.305434,  2.05845,   0.649892,  0.314887, 0.232739, 1.38823,  0.365369,  0.31473},
    {0.0866279, 0.043972,  0.0390894, 0.0570451, 0.0193078, 0.0367281, 0.0580589, 0.0832518, 0.0244313, 0.048466,
     0.086209,  0.0620286, 0.0195027, 0.0384319, 0.0457631, 0.0695179, 0.0610127, 0.0143859, 0.0352742, 0.0708956}};

// LG: Le and Gascuel 2008, Mol. Biol. Evol. 25:1307-1320 (PAML's lg.dat).
constexpr protein_table lg_table = {
    {0.425093, 0.276818, 0.751878, 0.395144, 0.123954,  5.076149, 2.489084, 0.534551, 0.528768, 0.062556, 0.969894,
     2.807908, 1.695752, 0.523386, 0.084808, 1.038545,  0.36397,  0.541712, 5.24387,  0.003499, 4.128591, 2.06604,
     0.390192, 1.437645, 0.844926, 0.569265, 0.267959,  0.348847, 0.358858, 2.426601, 4.509238, 0.927114, 0.640543,
     4.813505, 0.423881, 0.311484, 0.14983,  0.126991,  0.191503, 0.01069,  0.320627, 0.072854, 0.044265, 0.008705,
     0.108882, 0.395337, 0.301848, 0.068427, 0.015076,  0.594007, 0.582457, 0.069673, 0.044261, 0.366317, 4.145067,
     0.536518, 6.326067, 2.145078, 0.282959, 0.013266,  3.234294, 1.807177, 0.296636, 0.697264, 0.159069, 0.1375,
     1.124035, 0.484133, 0.371004, 0.025548, 0.89368,   1.672569, 0.173735, 0.139538, 0.442472, 4.273607, 6.312358,
     0.656604, 0.253701, 0.052722, 0.089525, 0.017416,  1.105251, 0.035855, 0.018811, 0.089586, 0.682139, 1.112727,
     2.592692, 0.023918, 1.798853, 1.177651, 0.332533,  0.161787, 0.394456, 0.075382, 0.624294, 0.419409, 0.196961,
     0.508851, 0.078281, 0.24906,  0.390322, 0.099849,  0.094464, 4.727182, 0.858151, 4.008358, 1.240275, 2.784478,
     1.223828, 0.611973, 1.73999,  0.990012, 0.064105,  0.182287, 0.748683, 0.34696,  0.361819, 1.338132, 2.139501,
     0.578987, 2.000679, 0.42586,  1.14348,  1.080136,  0.604545, 0.129836, 0.584262, 1.033739, 0.302936, 1.136863,
     2.020366, 0.165001, 0.571468, 6.472279, 0.180717,  0.593607, 0.045376, 0.02989,  0.670128, 0.236199, 0.077852,
     0.268491, 0.597054, 0.11166,  0.619632, 0.049906,  0.696175, 2.457121, 0.095131, 0.248862, 0.140825, 0.218959,
     0.31444,  0.612025, 0.135107, 1.165532, 0.257336,  0.120037, 0.054679, 5.306834, 0.232523, 0.299648, 0.131932,
     0.481306, 7.803902, 0.089613, 0.400547, 0.245841,  3.151815, 2.54787,  0.170887, 0.083688, 0.037967, 1.959291,
     0.210332, 0.245034, 0.076701, 0.119013, 10.649107, 1.702745, 0.185202, 1.898718, 0.654683, 0.296501, 0.098369,
     2.188158, 0.18951,  0.249313},
    {0.079066, 0.055941, 0.041977, 0.053052, 0.012937, 0.040767, 0.071586, 0.057337, 0.022355, 0.062157,
     0.099081, 0.0646,   0.022951, 0.042302, 0.04404,  0.061197, 0.053287, 0.012066, 0.034155, 0.069147}};

// DAYHOFF: Dayhoff, Schwartz and Orcutt 1978, Atlas of Protein Sequence and Structure 5 suppl. 3
// (PAML's dayhoff.dat).
constexpr protein_table dayhoff_table = {
    {27.0,  98.0,  32.0,   120.0, 0.0,   905.0, 36.0,  23.0,  0.0,   0.0,   89.0,  246.0, 103.0, 134.0, 0.0,   198.0,
     1.0,   148.0, 1153.0, 0.0,   716.0, 240.0, 9.0,   139.0, 125.0, 11.0,  28.0,  81.0,  23.0,  240.0, 535.0, 86.0,
     28.0,  606.0, 43.0,   10.0,  65.0,  64.0,  77.0,  24.0,  44.0,  18.0,  61.0,  0.0,   7.0,   41.0,  15.0,  34.0,
     0.0,   0.0,   73.0,   11.0,  7.0,   44.0,  257.0, 26.0,  464.0, 318.0, 71.0,  0.0,   153.0, 83.0,  27.0,  26.0,
     46.0,  18.0,  72.0,   90.0,  1.0,   0.0,   0.0,   114.0, 30.0,  17.0,  0.0,   336.0, 527.0, 243.0, 18.0,  14.0,
     14.0,  0.0,   0.0,    0.0,   0.0,   15.0,  48.0,  196.0, 157.0, 0.0,   92.0,  250.0, 103.0, 42.0,  13.0,  19.0,
     153.0, 51.0,  34.0,   94.0,  12.0,  32.0,  33.0,  17.0,  11.0,  409.0, 154.0, 495.0, 95.0,  161.0, 56.0,  79.0,
     234.0, 35.0,  24.0,   17.0,  96.0,  62.0,  46.0,  245.0, 371.0, 26.0,  229.0, 66.0,  16.0,  53.0,  34.0,  30.0,
     22.0,  192.0, 33.0,   136.0, 104.0, 13.0,  78.0,  550.0, 0.0,   201.0, 23.0,  0.0,   0.0,   0.0,   0.0,   0.0,
     27.0,  0.0,   46.0,   0.0,   0.0,   76.0,  0.0,   75.0,  0.0,   24.0,  8.0,   95.0,  0.0,   96.0,  0.0,   22.0,
     0.0,   127.0, 37.0,   28.0,  13.0,  0.0,   698.0, 0.0,   34.0,  42.0,  61.0,  208.0, 24.0,  15.0,  18.0,  49.0,
     35.0,  37.0,  54.0,   44.0,  889.0, 175.0, 10.0,  258.0, 12.0,  48.0,  30.0,  157.0, 0.0,   28.0},
    {0.087127, 0.040904, 0.040432, 0.046872, 0.033474, 0.038255, 0.04953,  0.088612, 0.033618, 0.036886,
     0.085357, 0.080482, 0.014753, 0.039772, 0.05068,  0.069577, 0.058542, 0.010494, 0.029916, 0.064718}};

// BLOSUM62: Henikoff and Henikoff 1992, Proc. Natl. Acad. Sci. USA 89:10915-10919, as a rate
// matrix (PAML's blosum62.dat).
constexpr protein_table blosum62_table = {
    {0.735790389698, 0.485391055466, 1.297446705134, 0.543161820899, 0.500964408555, 3.180100048216, 1.459995310470,
     0.227826574209, 0.397358949897, 0.240836614802, 1.199705704602, 3.020833610064, 1.839216146992, 1.190945703396,
     0.329801504630, 1.170949042800, 1.360574190420, 1.240488508640, 3.761625208368, 0.140748891814, 5.528919177928,
     1.955883574960, 0.418763308518, 1.355872344485, 0.798473248968, 0.418203192284, 0.609846305383, 0.423579992176,
     0.716241444998, 1.456141166336, 2.414501434208, 0.778142664022, 0.354058109831, 2.435341131140, 1.626891056982,
     0.539859124954, 0.605899003687, 0.232036445142, 0.283017326278, 0.418555732462, 0.774894022794, 0.236202451204,
     0.186848046932, 0.189296292376, 0.252718447885, 0.800016530518, 0.622711669692, 0.211888159615, 0.218131577594,
     0.831842640142, 0.580737093181, 0.372625175087, 0.217721159236, 0.348072209797, 3.890963773304, 1.295201266783,
     5.411115141489, 1.593137043457, 1.032447924952, 0.285078800906, 3.945277674515, 2.802427151679, 0.752042440303,
     1.022507035889, 0.406193586642, 0.445570274261, 1.253758266664, 0.983692987457, 0.648441278787, 0.222621897958,
     0.767688823480, 2.494896077113, 0.555415397470, 0.459436173579, 0.984311525359, 3.364797763104, 6.030559379572,
     1.073061184332, 0.492964679748, 0.371644693209, 0.354861249223, 0.281730694207, 0.441337471187, 0.144356959750,
     0.291409084165, 0.368166464453, 0.714533703928, 1.517359325954, 2.064839703237, 0.266924750511, 1.773855168830,
     1.173275900924, 0.448133661718, 0.494887043702, 0.730628272998, 0.356008498769, 0.858570575674, 0.926563934846,
     0.504086599527, 0.527007339151, 0.388355409206, 0.374555687471, 1.047383450722, 0.454123625103, 0.233597909629,
     4.325092687057, 1.122783104210, 2.904101656456, 1.582754142065, 1.197188415094, 1.934870924596, 1.769893238937,
     1.509326253224, 1.117029762910, 0.357544412460, 0.352969184527, 1.752165917819, 0.918723415746, 0.540027644824,
     1.169129577716, 1.729178019485, 0.914665954563, 1.898173634533, 0.934187509431, 1.119831358516, 1.277480294596,
     1.071097236007, 0.641436011405, 0.585407090225, 1.179091197260, 0.915259857694, 1.303875200799, 1.488548053722,
     0.488206118793, 1.005451683149, 5.151556292270, 0.465839367725, 0.426382310122, 0.191482046247, 0.145345046279,
     0.527664418872, 0.758653808642, 0.407635648938, 0.508358924638, 0.301248600780, 0.341985787540, 0.691474634600,
     0.332243040634, 0.888101098152, 2.074324893497, 0.252214830027, 0.387925622098, 0.513128126891, 0.718206697586,
     0.720517441216, 0.538222519037, 0.261422208965, 0.470237733696, 0.958989742850, 0.596719300346, 0.308055737035,
     4.218953969389, 0.674617093228, 0.811245856323, 0.717993486900, 0.951682162246, 6.747260430801, 0.369405319355,
     0.796751520761, 0.801010243199, 4.054419006558, 2.187774522005, 0.438388343772, 0.312858797993, 0.258129289418,
     1.116352478606, 0.530785790125, 0.524253846338, 0.253340790190, 0.201555971750, 8.311839405458, 2.231405688913,
     0.498138475304, 2.575850755315, 0.838119610178, 0.496908410676, 0.561925457442, 2.253074051176, 0.266508731426,
     1.000000000000},
    {0.074, 0.052, 0.045, 0.054, 0.025, 0.034, 0.054, 0.074, 0.026, 0.068,
     0.099, 0.058, 0.025, 0.047, 0.039, 0.057, 0.051, 0.013, 0.032, 0.073}};

// The eigenvalues (ascending order not promised) and eigenvectors (columns of v) of the
// symmetric n x n matrix a, by cyclic Jacobi rotations.
void symmetric_eigen(std::size_t n, std::vector<double> a, std::vector<double> &values, std::vector<double> &v) {
  v.assign(n * n, 0.0);
  for (std::size_t i = 0; i < n; ++i) v[i * n + i] = 1;
  for (int sweep = 0; sweep < 100; ++sweep) {
    double off = 0, total = 0;
    for (std::size_t i = 0; i < n; ++i)
      for (std::size_t j = 0; j < n; ++j) (i == j ? total : off) += a[i * n + j] * a[i * n + j];
    if (off <= 1e-30 * (total + off)) break;
    for (std::size_t p = 0; p + 1 < n; ++p)
      for (std::size_t q = p + 1; q < n; ++q) {
        const double apq = a[p * n + q];
        if (apq == 0) continue;
        const double theta = (a[q * n + q] - a[p * n + p]) / (2 * apq);
        const double t = (theta >= 0 ? 1 : -1) / (std::fabs(theta) + std::sqrt(theta * theta + 1));
        const double c = 1 / std::sqrt(t * t + 1), s = t * c;
        for (std::size_t k = 0; k < n; ++k) { // columns p and q
          const double akp = a[k * n + p], akq = a[k * n + q];
          a[k * n + p] = c * akp - s * akq;
          a[k * n + q] = s * akp + c * akq;
        }
        for (std::size_t k = 0; k < n; ++k) { // rows p and q
          const double apk = a[p * n + k], aqk = a[q * n + k];
          a[p * n + k] = c * apk - s * aqk;
          a[q * n + k] = s * apk + c * aqk;
        }
        for (std::size_t k = 0; k < n; ++k) {
          const double vkp = v[k * n + p], vkq = v[k * n + q];
          v[k * n + p] = c * vkp - s * vkq;
          v[k * n + q] = s * vkp + c * vkq;
        }
      }
  }
  values.resize(n);
  for (std::size_t i = 0; i < n; ++i) values[i] = a[i * n + i];
}

// The Gamma(alpha, rate alpha) quantile of p: the x with P(alpha, alpha x) = p, by bisection
// refined with Newton steps.
double gamma_quantile(double alpha, double p) {
  double lo = 0, hi = 1;
  while (incomplete_gamma(alpha, alpha * hi) < p) hi *= 2;
  double x = (lo + hi) / 2;
  for (int k = 0; k < 200; ++k) {
    const double f = incomplete_gamma(alpha, alpha * x) - p;
    if (f < 0) lo = x;
    else hi = x;
    // The density of Gamma(alpha, rate alpha) at x.
    const double density =
        std::exp(alpha * std::log(alpha) + (alpha - 1) * std::log(x) - alpha * x - std::lgamma(alpha));
    double next = density > 0 ? x - f / density : (lo + hi) / 2;
    if (!(next > lo && next < hi)) next = (lo + hi) / 2;
    if (std::fabs(next - x) <= 1e-15 * x || hi - lo <= 1e-15 * hi) return next;
    x = next;
  }
  return x;
}

// Fills the model's grid of the slopes of one pair of each cell.
void fill_grid(ml_model &m);

} // namespace

const protein_table *protein_model(model_type model) {
  switch (model) {
  case model_type::JTT: return &jtt_table;
  case model_type::WAG: return &wag_table;
  case model_type::LG: return &lg_table;
  case model_type::DAYHOFF: return &dayhoff_table;
  case model_type::BLOSUM62: return &blosum62_table;
  default: return nullptr;
  }
}

double incomplete_gamma(double a, double x) {
  if (x <= 0) return 0;
  const double log_front = a * std::log(x) - x - std::lgamma(a);
  if (x < a + 1) { // the series sum x^n / (a (a+1) ... (a+n))
    double term = 1 / a, sum = term;
    for (int n = 1; n < 100000; ++n) {
      term *= x / (a + n);
      sum += term;
      if (term < sum * 1e-17) break;
    }
    return std::min(1.0, sum * std::exp(log_front));
  }
  // 1 - P by the continued fraction of Q(a, x), evaluated by the modified Lentz method.
  const double tiny = 1e-300;
  double b = x + 1 - a, c = 1 / tiny, d = 1 / b, h = d;
  for (int n = 1; n < 100000; ++n) {
    const double an = -n * (n - a);
    b += 2;
    d = an * d + b;
    if (std::fabs(d) < tiny) d = tiny;
    c = b + an / c;
    if (std::fabs(c) < tiny) c = tiny;
    d = 1 / d;
    const double delta = d * c;
    h *= delta;
    if (std::fabs(delta - 1) < 1e-16) break;
  }
  return std::max(0.0, 1 - std::exp(log_front) * h);
}

std::vector<double> gamma_rates(double alpha, unsigned categories) {
  if (categories <= 1) return {1.0};
  // The mean of category c is K (P(alpha + 1, alpha b_{c+1}) - P(alpha + 1, alpha b_c)) for
  // the quantiles b_c of c / K.
  std::vector<double> rates(categories);
  double below = 0;
  for (unsigned c = 0; c < categories; ++c) {
    const double upto = c + 1 == categories
                            ? 1.0
                            : incomplete_gamma(alpha + 1, alpha * gamma_quantile(alpha, double(c + 1) / categories));
    rates[c] = (upto - below) * categories;
    below = upto;
  }
  return rates;
}

ml_model make_ml_model(std::size_t states, const double *exchange, const double *frequencies,
                       std::vector<double> rates) {
  const std::size_t n = states;
  std::vector<double> pi(frequencies, frequencies + n);
  const double sum = std::accumulate(pi.begin(), pi.end(), 0.0);
  for (double &f : pi) f /= sum;
  std::vector<double> s(n * n, 0.0);
  for (std::size_t i = 1, k = 0; i < n; ++i)
    for (std::size_t j = 0; j < i; ++j, ++k) s[i * n + j] = s[j * n + i] = exchange[k];
  // Q_ij = s_ij pi_j, scaled so that sum_i pi_i sum_j!=i Q_ij = 1; its symmetric form
  // A = Pi^1/2 Q Pi^-1/2 has A_ij = s_ij sqrt(pi_i pi_j).
  double mean = 0;
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < n; ++j)
      if (i != j) mean += pi[i] * s[i * n + j] * pi[j];
  std::vector<double> a(n * n, 0.0);
  for (std::size_t i = 0; i < n; ++i) {
    double row = 0;
    for (std::size_t j = 0; j < n; ++j)
      if (i != j) {
        a[i * n + j] = s[i * n + j] * std::sqrt(pi[i] * pi[j]) / mean;
        row += s[i * n + j] * pi[j] / mean;
      }
    a[i * n + i] = -row;
  }
  ml_model m;
  m.states = n;
  m.cells = n * (n + 1) / 2;
  m.padded = (m.cells + 15) / 16 * 16;
  std::vector<double> v;
  symmetric_eigen(n, std::move(a), m.lambda, v);
  m.weights.assign(m.cells * n, 0.0);
  m.dense.assign(n * m.padded, 0.0);
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j <= i; ++j)
      for (std::size_t k = 0; k < n; ++k) {
        const double w = std::sqrt(pi[i]) * v[i * n + k] * std::sqrt(pi[j]) * v[j * n + k];
        m.weights[cell_index(i, j) * n + k] = w;
        m.dense[k * m.padded + cell_index(i, j)] = w;
      }
  m.log_equilibrium.assign(m.cells, 0.0);
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j <= i; ++j) // pi_i pi_j for the pair, of either order
      m.log_equilibrium[cell_index(i, j)] = std::log(pi[i] * pi[j]);
  m.rates = std::move(rates);
  // The share of differing sites that the model expects at distances from 1e-4 to 100.
  constexpr int points = 256;
  for (int k = 0; k < points; ++k) {
    const double t = 1e-4 * std::pow(1e6, k / (points - 1.0));
    double same = 0;
    for (std::size_t i = 0; i < n; ++i)
      for (std::size_t q = 0; q < n; ++q)
        for (double r : m.rates)
          same +=
              m.weights[cell_index(i, i) * n + q] * std::exp(m.lambda[q] * r * t) / static_cast<double>(m.rates.size());
    const double p = 1 - same;
    if (!m.start_p.empty() && !(p > m.start_p.back())) break;
    m.start_t.push_back(t);
    m.start_p.push_back(p);
  }
  fill_grid(m);
  return m;
}

namespace {

// The first and second derivatives of the log-likelihood of a table at distance t, and the
// log-likelihood itself when asked for.
struct slope {
  double value, d1, d2;
};

constexpr std::size_t max_states = 20, max_padded = 224;

// exp(lambda_k r t) averaged over the rates r, and its first two derivatives in t.
struct rate_terms {
  double e0[max_states], e1[max_states], e2[max_states];
};

rate_terms terms_at(const ml_model &m, double t) {
  rate_terms e{};
  const double share = 1.0 / static_cast<double>(m.rates.size());
  for (std::size_t k = 0; k < m.states; ++k)
    for (double r : m.rates) {
      const double lr = m.lambda[k] * r, x = std::exp(lr * t) * share;
      e.e0[k] += x;
      e.e1[k] += lr * x;
      e.e2[k] += lr * lr * x;
    }
  return e;
}

void fill_grid(ml_model &m) {
  constexpr std::size_t points = 1024;
  m.grid_points = points;
  m.grid_first = 1e-6;
  m.grid_ratio = std::pow(100 / m.grid_first, 1.0 / (points - 1));
  m.grid_d1.assign(points * m.padded, 0.0);
  m.grid_d2.assign(points * m.padded, 0.0);
  for (std::size_t j = 0; j < points; ++j) {
    const rate_terms e = terms_at(m, m.grid_first * std::pow(m.grid_ratio, static_cast<double>(j)));
    for (std::size_t c = 0; c < m.cells; ++c) {
      double f0 = 0, f1 = 0, f2 = 0;
      for (std::size_t k = 0; k < m.states; ++k) {
        const double w = m.weights[c * m.states + k];
        f0 += w * e.e0[k];
        f1 += w * e.e1[k];
        f2 += w * e.e2[k];
      }
      const double g = f1 / f0;
      m.grid_d1[j * m.padded + c] = g;
      m.grid_d2[j * m.padded + c] = f2 / f0 - g * g;
    }
  }
}

// Over the cells that hold pairs, listed: for tables with few of them (close pairs).
template <bool with_value>
slope sparse_slope(const ml_model &m, const std::uint32_t *list, const std::uint32_t *counts, std::size_t n_list,
                   const rate_terms &e) {
  const std::size_t n = m.states;
  double value = 0, d1 = 0, d2 = 0;
  for (std::size_t c = 0; c < n_list; ++c) {
    const double *w = m.weights.data() + list[c] * n;
    double f0 = 0, f1 = 0, f2 = 0;
    for (std::size_t k = 0; k < n; ++k) {
      f0 += w[k] * e.e0[k];
      f1 += w[k] * e.e1[k];
      f2 += w[k] * e.e2[k];
    }
    const double count = counts[list[c]], g = f1 / f0;
    if constexpr (with_value) value += count * std::log(f0);
    d1 += count * g;
    d2 += count * (f2 / f0 - g * g);
  }
  return {value, d1, d2};
}

// Over every cell at once, a vector of 64 bytes of cells at a time, four vectors at once (the
// cells without pairs count 0), with the sums of each lane added in a fixed order.
template <class T>
inline __attribute__((always_inline)) slope dense_slope_of(const T *dense, std::size_t padded, std::size_t states,
                                                           const std::uint32_t *counts, const rate_terms &e) {
  constexpr std::size_t lanes = 64 / sizeof(T), group = 4;
  typedef T vec __attribute__((vector_size(64)));
  vec d1 = {}, d2 = {};
  for (std::size_t block = 0; block < padded; block += lanes * group) {
    const std::size_t blocks = std::min(group, (padded - block) / lanes);
    vec f0[group] = {}, f1[group] = {}, f2[group] = {};
    for (std::size_t k = 0; k < states; ++k) {
      const T *w = dense + k * padded + block;
      const T a = static_cast<T>(e.e0[k]), b = static_cast<T>(e.e1[k]), c = static_cast<T>(e.e2[k]);
#pragma GCC unroll 4
      for (std::size_t g = 0; g < group; ++g) {
        if (g == blocks) break;
        vec x;
        __builtin_memcpy(&x, w + lanes * g, sizeof x);
        f0[g] += x * a;
        f1[g] += x * b;
        f2[g] += x * c;
      }
    }
    for (std::size_t g = 0; g < blocks; ++g) {
      vec count;
      for (std::size_t l = 0; l < lanes; ++l) count[l] = static_cast<T>(counts[block + lanes * g + l]);
      // 1 / f0 where there are pairs, 0 elsewhere (where f0 may be 0).
      const vec inv = count != 0 ? 1 / f0[g] : vec{};
      const vec q = f1[g] * inv;
      d1 += count * q;
      d2 += count * (f2[g] * inv - q * q);
    }
  }
  double s1 = 0, s2 = 0;
  for (std::size_t l = 0; l < lanes; ++l) s1 += d1[l], s2 += d2[l];
  return {0, s1, s2};
}

__attribute__((target_clones("avx512f", "avx2", "default"))) slope
dense_slope(const ml_model &m, const std::uint32_t *counts, const rate_terms &e) {
  return dense_slope_of(m.dense.data(), m.padded, m.states, counts, e);
}

// The slope of a pair at grid point j: the sums over its cells of d1 (and d2), by counts, in
// vectors over every cell (those without pairs count 0). Each sum keeps eight lanes, added in
// order at the end, held as two vectors of four that every target's registers take (vectors
// wider than the registers live on the stack).
__attribute__((target_clones("avx512f", "avx2", "default"))) slope grid_slope(const ml_model &m, const double *counts,
                                                                              std::size_t j, bool second) {
  typedef double vec __attribute__((vector_size(32)));
  const double *d1 = m.grid_d1.data() + j * m.padded, *d2 = m.grid_d2.data() + j * m.padded;
  vec s1a = {}, s1b = {}, s2a = {}, s2b = {};
  for (std::size_t c = 0; c < m.padded; c += 8) {
    vec na, nb, xa, xb;
    __builtin_memcpy(&na, counts + c, sizeof na);
    __builtin_memcpy(&nb, counts + c + 4, sizeof nb);
    __builtin_memcpy(&xa, d1 + c, sizeof xa);
    __builtin_memcpy(&xb, d1 + c + 4, sizeof xb);
    s1a += na * xa;
    s1b += nb * xb;
    if (second) {
      __builtin_memcpy(&xa, d2 + c, sizeof xa);
      __builtin_memcpy(&xb, d2 + c + 4, sizeof xb);
      s2a += na * xa;
      s2b += nb * xb;
    }
  }
  double t1 = 0, t2 = 0;
  for (int l = 0; l < 4; ++l) t1 += s1a[l], t2 += s2a[l];
  for (int l = 0; l < 4; ++l) t1 += s1b[l], t2 += s2b[l];
  return {0, t1, t2};
}

// True when the slope is still positive at the grid's far end.
bool grid_rises_to_far(const ml_model &m, const double *counts) {
  return grid_slope(m, counts, m.grid_points - 1, false).d1 > 0;
}

// The root of the slope between the grid points around the first maximum at or above the one
// nearest `start` (or below it when the slope falls there), by the cubic that matches the
// slope and its derivative at both points; nullopt when no point of the grid has a positive
// slope followed by one that is not.
std::optional<double> grid_root(const ml_model &m, const double *counts, double start) {
  const std::size_t last = m.grid_points - 1;
  const double log_ratio = std::log(m.grid_ratio);
  auto index_of = [&](double t) {
    const double place = std::log(t / m.grid_first) / log_ratio;
    return static_cast<std::size_t>(std::clamp(place, 0.0, static_cast<double>(last)));
  };
  auto at = [&](std::size_t j) { return grid_slope(m, counts, j, false).d1; };
  // A Newton step from the start picks the grid point to look at first.
  std::size_t j = index_of(start);
  {
    const slope s = grid_slope(m, counts, j, true);
    const double t = m.grid_first * std::pow(m.grid_ratio, static_cast<double>(j));
    if (s.d2 < 0) {
      const double next = t - s.d1 / s.d2;
      if (next > 0 && next < 4 * t) j = index_of(next);
    }
  }
  std::size_t lo, hi; // at(lo) > 0 >= at(hi)
  if (at(j) > 0) {
    lo = j;
    std::size_t step = 1;
    for (;;) {
      if (lo == last) return std::nullopt;
      const std::size_t next = std::min(last, lo + step);
      if (!(at(next) > 0)) {
        hi = next;
        break;
      }
      lo = next;
      step *= 2;
    }
  } else {
    hi = j;
    std::size_t step = 1;
    for (;;) {
      if (hi == 0) return std::nullopt;
      const std::size_t next = hi > step ? hi - step : 0;
      if (at(next) > 0) {
        lo = next;
        break;
      }
      hi = next;
      step *= 2;
    }
  }
  while (hi - lo > 1) {
    const std::size_t mid = lo + (hi - lo) / 2;
    (at(mid) > 0 ? lo : hi) = mid;
  }
  const slope a = grid_slope(m, counts, lo, true), b = grid_slope(m, counts, hi, true);
  const double t0 = m.grid_first * std::pow(m.grid_ratio, static_cast<double>(lo)), t1 = t0 * m.grid_ratio;
  const double h = t1 - t0;
  // The cubic Hermite interpolant of the slope on [t0, t1], in u = (t - t0) / h.
  auto cubic = [&](double u) {
    const double u2 = u * u, u3 = u2 * u;
    return (2 * u3 - 3 * u2 + 1) * a.d1 + (u3 - 2 * u2 + u) * h * a.d2 + (-2 * u3 + 3 * u2) * b.d1 +
           (u3 - u2) * h * b.d2;
  };
  auto cubic_slope = [&](double u) {
    const double u2 = u * u;
    return (6 * u2 - 6 * u) * a.d1 + (3 * u2 - 4 * u + 1) * h * a.d2 + (-6 * u2 + 6 * u) * b.d1 +
           (3 * u2 - 2 * u) * h * b.d2;
  };
  // Newton steps on the cubic from the secant's root, kept inside the bracket (halving it
  // where a step would leave it); the exact step that follows polishes the result.
  double ulo = 0, uhi = 1, u = a.d1 / (a.d1 - b.d1);
  for (int k = 0; k < 30; ++k) {
    const double y = cubic(u);
    (y > 0 ? ulo : uhi) = u;
    const double d = cubic_slope(u);
    double next = d < 0 ? u - y / d : (ulo + uhi) / 2;
    if (!(next > ulo && next < uhi)) next = (ulo + uhi) / 2;
    if (std::fabs(next - u) <= 1e-12) return t0 + next * h;
    u = next;
  }
  return t0 + u * h;
}

// A start for the search: the distance at which the model expects a share p of differing
// sites, interpolated in its table (2 past the table's end).
double start_for(const ml_model &m, double p) {
  const auto &t = m.start_t, &d = m.start_p;
  const auto it = std::upper_bound(d.begin(), d.end(), p);
  if (it == d.begin()) return t.front();
  if (it == d.end()) return 2.0;
  const std::size_t k = static_cast<std::size_t>(it - d.begin());
  const double share = (p - d[k - 1]) / (d[k] - d[k - 1]);
  return t[k - 1] + share * (t[k] - t[k - 1]);
}

} // namespace

std::optional<double> ml_distance(const ml_model &m, const std::uint32_t *counts, std::uint64_t sites,
                                  std::uint64_t differing) {
  if (differing == 0) return 0.0;
  // The cells that hold pairs, listed only where the likelihood is evaluated (the grid does
  // without).
  std::uint32_t list[max_padded];
  std::size_t n_list = 0;
  bool sparse = false;
  const auto list_cells = [&] {
    for (std::size_t c = 0; c < m.cells; ++c) {
      list[n_list] = static_cast<std::uint32_t>(c);
      n_list += counts[c] != 0;
    }
    sparse = n_list * 4 < m.cells;
  };
  auto slope_at = [&](double t) {
    const rate_terms e = terms_at(m, t);
    return sparse ? sparse_slope<false>(m, list, counts, n_list, e) : dense_slope(m, counts, e);
  };
  auto likelihood_at = [&](double t) { return sparse_slope<true>(m, list, counts, n_list, terms_at(m, t)).value; };

  // A likelihood still rising at 100 substitutions per site is taken to have no maximum.
  constexpr double far = 100;
  // The log-likelihood far away, where every pair of residues is as likely as at the model's
  // equilibrium: a maximum below it is not the greatest.
  auto at_equilibrium = [&] {
    double sum = 0;
    for (std::size_t c = 0; c < n_list; ++c) sum += counts[list[c]] * m.log_equilibrium[list[c]];
    return sum;
  };

  const double p = static_cast<double>(differing) / static_cast<double>(sites);
  double t = start_for(m, p);
  double lo = 0, hi = std::numeric_limits<double>::infinity();
  if (p > 0.6) {
    list_cells();
    // A distant pair can have a likelihood flat enough to hold several maxima: the best point
    // of a grid up to the far end brackets the greatest.
    constexpr int points = 64;
    double best = -std::numeric_limits<double>::infinity(), best_t = 0;
    int best_k = 0;
    for (int k = 0; k < points; ++k) {
      const double at = 0.01 * std::pow(far / 0.01, k / (points - 1.0));
      const double v = likelihood_at(at);
      if (v > best) best = v, best_t = at, best_k = k;
    }
    if (best_k == points - 1 || best < at_equilibrium()) return std::nullopt;
    const double ratio = std::pow(far / 0.01, 1 / (points - 1.0));
    lo = best_k == 0 ? 0 : best_t / ratio;
    hi = best_t * ratio;
    t = best_t;
  }
  if (p <= 0.6) {
    // The root of the slope interpolated in the model's grid: within a relative 1e-7 of the
    // maximum (2e-8 on JTT, WAG and LG alignments of 1000 sites, with and without gamma).
    alignas(64) double weights[max_padded];
    for (std::size_t c = 0; c < m.padded; ++c) weights[c] = counts[c];
    if (const std::optional<double> near = grid_root(m, weights, t)) return *near;
    if (grid_rises_to_far(m, weights)) return std::nullopt;
    list_cells();
  }
  for (int step = 0; step < 200; ++step) {
    const slope s = slope_at(t);
    if (s.d1 > 0) lo = t;
    else hi = t;
    double next = s.d2 < 0 ? t - s.d1 / s.d2 : std::numeric_limits<double>::quiet_NaN();
    // Upwards at most twice as far while no maximum is bracketed: the first maximum above the
    // start is the one taken, not one far out on the flat tail of a saturated pair.
    if (std::isinf(hi)) next = std::min(next, 2 * t);
    const bool newton = next > lo && next < hi;
    if (!newton) next = std::isinf(hi) ? 2 * lo : (lo + hi) / 2;
    if (lo >= far) return std::nullopt;
    // A Newton step this small leaves an error of about its square (relative 1e-8).
    if (s.d1 == 0 || (newton && std::fabs(next - t) <= 1e-4 * t) || (std::isfinite(hi) && hi - lo <= 1e-13 * hi)) {
      if (p > 0.6 && likelihood_at(next) < at_equilibrium()) return std::nullopt;
      return next;
    }
    t = next;
  }
  return t;
}

} // namespace phylo::dna::detail
