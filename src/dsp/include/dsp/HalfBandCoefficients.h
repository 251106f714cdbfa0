#pragma once

#include <array>
#include <cstddef>

// The half-band decimator tap sets, 15 to 51 taps. Each set is symmetric, every
// odd-indexed tap except the centre (0.5) is zero, and the taps sum to 1. A set
// is written down as its even taps below the centre, h[0], h[2], ...; the
// downconverter picks the longer sets for stages near its output rate.

namespace HalfBandCoefficients {

template <std::size_t Length, std::size_t EvenHalf>
constexpr std::array<double, Length> Expand(const double (&evenHalf)[EvenHalf])
{
    static_assert(Length % 4 == 3 && EvenHalf == (Length + 1) / 4, "a half-band set has 4k+3 taps");
    std::array<double, Length> taps{};
    for (std::size_t i = 0; i < EvenHalf; ++i) {
        taps[2 * i] = evenHalf[i];
        taps[Length - 1 - 2 * i] = evenHalf[i];
    }
    taps[(Length - 1) / 2] = 0.5;
    return taps;
}

inline constexpr auto Taps15 = Expand<15>({-0.001442203300285281, 0.013017512802724852, -0.06165327860490337,
                                           0.30007792316024057});
inline constexpr auto Taps19 = Expand<19>({0.0004236652710648043, -0.004071733336902189, 0.019895653881950692,
                                           -0.07074003441232907, 0.3044924977284414});
inline constexpr auto Taps23 = Expand<23>({-0.00014987651418332164, 0.0014748633283609852, -0.007441694499000531,
                                           0.02616352273198093, -0.0775936991165447, 0.30754683719791986});
inline constexpr auto Taps27 = Expand<27>({6.373042695266468e-05, -0.0006198519397856908, 0.0031512504783365756,
                                           -0.01117315134285662, 0.03171888754393197, -0.08291786358277073,
                                           0.3097770473566307});
inline constexpr auto Taps31 = Expand<31>({-3.0957335326552226e-05, 0.00029271992847303054, -0.0014770381124258423,
                                           0.0052539088990950535, -0.014856378748476874, 0.036406651919556,
                                           -0.08699862567952929, 0.31140967076042625});
inline constexpr auto Taps35 = Expand<35>({1.7017718072971716e-05, -0.00015425042851962818, 0.0007621968575114084,
                                           -0.002691614694785393, 0.007592749792734476, -0.018325727896057686,
                                           0.04035100491436397, -0.09019822466896955, 0.3126468976350433});
inline constexpr auto Taps39 = Expand<39>({-1.0175082832074367e-05, 8.803641601502435e-05, -0.00042370835558387595,
                                           0.0014772557414459019, -0.004146843895426015, 0.009957912690160801,
                                           -0.021433527104289002, 0.043598963493432855, -0.0926959536259284,
                                           0.3135879911338215});
inline constexpr auto Taps43 = Expand<43>({6.766673908275639e-06, -5.5275221547958285e-05, 0.0002565407457941856,
                                           -0.0008748125689163153, 0.00242498760170615, -0.005777519065602175,
                                           0.012299834239523121, -0.02424405066208707, 0.04635430350309907,
                                           -0.09472990359863331, 0.3143391802012321});
inline constexpr auto Taps47 = Expand<47>({-4.529831417200425e-06, 3.533370451284323e-05, -0.00015934776420643447,
                                           0.0005340788063118928, -0.001466794969550076, 0.0034792089350833247,
                                           -0.007379435672031773, 0.014393786384683398, -0.026586603160193314,
                                           0.04853867366790743, -0.09629115286535718, 0.31490673428547367});
inline constexpr auto Taps51 = Expand<51>({3.335925368898164e-06, -2.4584155158361803e-05, 0.00010677777483317733,
                                           -0.00034890723143173914, 0.000942391270781896, -0.0022118302078923137,
                                           0.004657503075216228, -0.009013097341522057, 0.016383673864361164,
                                           -0.028697281101743237, 0.05043292242400841, -0.09761189831579196,
                                           0.315381044350158});

// The set of the given length (15, 19, ..., 51), or nullptr for any other length.
constexpr const double* TapsOfLength(int length)
{
    switch (length) {
    case 15: return Taps15.data();
    case 19: return Taps19.data();
    case 23: return Taps23.data();
    case 27: return Taps27.data();
    case 31: return Taps31.data();
    case 35: return Taps35.data();
    case 39: return Taps39.data();
    case 43: return Taps43.data();
    case 47: return Taps47.data();
    case 51: return Taps51.data();
    default: return nullptr;
    }
}

} // namespace HalfBandCoefficients
