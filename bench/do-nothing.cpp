// The runtime's start-up and exit, and nothing else: what helloworld adds to
// it is its own cost.
int main()
{
    return 0;
}
