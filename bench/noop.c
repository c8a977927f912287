/* The floor of the benchmark: a program that starts and exits, doing nothing.
 * Built with `gcc -O2 -static`, it is the cheapest process the system can run. */
int main(void)
{
    return 0;
}
