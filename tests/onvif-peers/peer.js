// The npm onvif client against the simulated cameras: discover, log in
// (the client reads the camera's clock and corrects for it), read the
// network interfaces, change the default gateway. One JSON line per step.
// usage: peer.js HOST PASSWORD GATEWAY [digest]
const onvif = require('onvif');
const [host, password, gateway, login] = process.argv.slice(2);
const say = (step, error, value) =>
    console.log(JSON.stringify({step, error: error ? error.message : null, value}));

onvif.Discovery.probe({timeout: 3000, resolve: false}, (error, answers) => {
    say('discover', error, (answers || []).map((answer) => JSON.stringify(answer)));
    // `digest`: no UsernameToken, only the HTTP Digest the camera asks for with 401.
    new onvif.Cam({hostname: host, port: 80, username: 'admin', password, timeout: 5000,
                   useWSSecurity: login !== 'digest'},
        function (connectError) {
            say('connect', connectError, null);
            if (connectError)
                process.exit(0);
            this.getNetworkInterfaces((readError, interfaces) => {
                say('interfaces', readError, interfaces);
                this.setNetworkDefaultGateway({IPv4Address: [gateway]}, (setError, result) => {
                    say('gateway', setError, result);
                    process.exit(0);
                });
            });
        });
});
