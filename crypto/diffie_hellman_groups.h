#pragma once
// Primes and generator of the fixed Diffie-Hellman groups, big-endian.

constexpr int dh_group1_prime_length = 128;
constexpr int dh_group14_prime_length = 256;

extern const unsigned char dh_group1_prime[dh_group1_prime_length];
extern const unsigned char dh_group14_prime[dh_group14_prime_length];
extern const unsigned char dh_group_generator[1];
