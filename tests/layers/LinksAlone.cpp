// Linked with the whole of one layer's library: building this program is the
// check; running it only says that it was built.
int main() {
    return 0;
}
