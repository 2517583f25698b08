// The people of the sample bases: newsgroup posters, forum uploaders, snippet contributors.
// All invented; a few carry letters beyond ASCII so the code page conversion gets exercised.
#include "content.h"

namespace mkbases {

const std::vector<Person>& people()
{
    static const std::vector<Person> all = {
        {"Martin Halvorsen", "74431,2210"},   {"Susan Pike", "102157,344"},
        {"José Ramírez", "75020,1467"},       {"Jürgen Weiß", "100634,2031"},
        {"Peter Lindqvist", "73512,771"},     {"Anne-Marie Lefèvre", "101360,502"},
        {"Tom Kowalski", "76711,3320"},       {"Karen O'Donnell", "104121,1154"},
        {"Rainer Groß", "100273,625"},        {"David Achterberg", "72143,1013"},
        {"Ivo Dvorák", "100441,2746"},        {"Linda Ostrowski", "75300,2406"},
        {"Michael Brandt", "71621,1412"},     {"Hélène Dubois", "101621,330"},
        {"Steve Carrow", "74257,615"},        {"Bernd Schäfer", "100117,1701"},
        {"Ray Templeton", "76043,2205"},      {"Ulrike Müller", "100320,3311"},
        {"Gary Whitcombe", "73367,1210"},     {"Nils Sørensen", "100524,456"},
        {"Chris Hallam", "102040,2650"},      {"Eva Novak", "104307,112"},
        {"Paul van der Berg", "100346,3527"}, {"Mark Delaney", "75141,3040"},
        {"Françoise Martin", "101771,2143"},  {"Joe Fitzgerald", "72662,1601"},
        {"Sandra Köhler", "100711,1236"},     {"Brian Nakamura", "76217,3102"},
        {"Olaf Bergström", "100613,2214"},    {"Rick Summers", "74740,2532"},
    };
    return all;
}

} // namespace mkbases
