import flash.display.Sprite;
import flash.events.Event;
import flash.events.MouseEvent;

/** Balloons float up into the sky: click them to pop them. */
class Balloons extends Sprite {
	var balloons:Array<{s:Sprite, v:Float, swing:Float}> = [];
	var score:flash.text.TextField;
	var popped = 0;
	var frame = 0;
	var clouds = new Sprite();

	public function new() {
		super();
		Kit.sky(graphics, 0x7EC8F5, 0xD9F2FF);
		graphics.beginFill(0x7BD66B);
		graphics.drawEllipse(-80, Kit.H - 50, 400, 120);
		graphics.drawEllipse(220, Kit.H - 40, 420, 120);
		graphics.endFill();
		Kit.cloud(clouds.graphics, 60, 70);
		Kit.cloud(clouds.graphics, 330, 50, 1.3);
		Kit.cloud(clouds.graphics, 560, 90, 0.8);
		addChild(clouds);
		score = Kit.scoreBox(this, Kit.W - 125, 10, 0xFF5A5F);
		addEventListener(Event.ENTER_FRAME, tick);
	}

	function addBalloon() {
		var colour = Kit.pick(Kit.colours);
		var s = new Sprite();
		var g = s.graphics;
		g.lineStyle(1, 0x666666);
		g.moveTo(0, 32);
		g.curveTo(8, 50, 0, 70);
		g.lineStyle();
		Kit.fillEach(g, colour, [
			function(g) {
				g.moveTo(-5, 34);
				g.lineTo(5, 34);
				g.lineTo(0, 28);
			},
			function(g) g.drawEllipse(-24, -32, 48, 62)
		]);
		g.beginFill(0xFFFFFF, 0.5);
		g.drawEllipse(-14, -22, 10, 16);
		g.endFill();
		s.x = 40 + Kit.rand(Kit.W - 80);
		s.y = Kit.H + 40;
		s.buttonMode = true;
		var b = {s: s, v: 1.2 + Math.random() * 1.5, swing: Math.random() * 6};
		s.addEventListener(MouseEvent.MOUSE_DOWN, function(_) pop(b, colour));
		addChildAt(s, 1);
		balloons.push(b);
	}

	function pop(b:{s:Sprite, v:Float, swing:Float}, colour:Int) {
		if (!balloons.remove(b))
			return;
		removeChild(b.s);
		popped++;
		score.text = Std.string(popped);
		Kit.sparkle(this, b.s.x, b.s.y, colour, 12);
	}

	function tick(_) {
		frame++;
		clouds.x -= 0.3;
		if (clouds.x < -650)
			clouds.x = Kit.W;
		if (frame % 40 == 1 && balloons.length < 8)
			addBalloon();
		for (b in balloons.copy()) {
			b.s.y -= b.v;
			b.s.x += Math.sin((frame + b.swing * 20) / 25) * 0.6;
			if (b.s.y < -80) {
				balloons.remove(b);
				removeChild(b.s);
			}
		}
	}

	static function main() {
		Kit.start(new Balloons());
	}
}
